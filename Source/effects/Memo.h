#pragma once

#include <limits>

namespace tz
{

// The result of a function of one parameter value, worked out again only when the value moves: a power or an
// exponential per chunk, in every effect, adds up while the parameters rest.
template <typename Result>
class Memo
{
public:
    template <typename Function>
    Result operator() (float value, Function&& function) noexcept
    {
        if (! (value == input)) // so on the first call too: the input starts as NaN
        {
            input = value;
            result = function (value);
        }
        return result;
    }

private:
    float input = std::numeric_limits<float>::quiet_NaN();
    Result result {};
};

} // namespace tz
