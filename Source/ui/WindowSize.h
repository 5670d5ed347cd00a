#pragma once

#include <iterator>

// The window: the main panel is laid out once at the design size and scaled as a whole, from the smallest to the
// largest scale. SETTINGS offers the sizes below, in percent of the design size.
namespace tz::ui::window
{
constexpr int designWidth = 1600, designHeight = 820;
constexpr int sizesPercent[] = { 60, 65, 70, 75, 80, 85, 90, 100, 110, 125 };
constexpr int minPercent = sizesPercent[0], maxPercent = sizesPercent[std::size (sizesPercent) - 1];
constexpr int defaultPercent = 85;
constexpr float minScale = (float) minPercent / 100.0f, maxScale = (float) maxPercent / 100.0f;
constexpr float defaultScale = (float) defaultPercent / 100.0f;
} // namespace tz::ui::window
