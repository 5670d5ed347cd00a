#pragma once

namespace tz
{

// The engine runs a block in chunks of at most this many samples: parameters, modulation and the grid step are
// taken once per chunk, and every buffer that holds a chunk is sized by it.
inline constexpr int chunkSize = 32;

} // namespace tz
