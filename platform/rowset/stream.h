#pragma once
// The in-memory text stream row sets are loaded from: text is written into it, it is rewound
// and a Recordset is opened on it. Text is held as UTF-8 and Position counts its bytes, so only
// 0 and positions returned by the stream itself are meaningful.

#include <cstdint>
#include <string>
#include <string_view>

namespace kx::rowset {

enum class ObjectState : std::int32_t { adStateClosed = 0, adStateOpen = 1 };

inline constexpr std::int64_t adReadAll = -1;

class Stream {
  public:
    // Opens the stream empty. Raises 3705 when it is already open.
    void Open();
    // Discards the content. Raises 3704 when the stream is closed (as every member below).
    void Close();
    ObjectState State() const {
        return open_ ? ObjectState::adStateOpen : ObjectState::adStateClosed;
    }

    // Writes text at the current position, overwriting what lies there and extending the
    // stream as needed; the position moves past the text.
    void WriteText(std::string_view text);
    // Nothing is buffered; kept for callers that flush before rewinding.
    void Flush();
    // Reads `count` bytes (adReadAll: everything) from the current position.
    std::string ReadText(std::int64_t count = adReadAll);

    std::int64_t Position() const;
    // Raises 3001 for a position outside 0..Size.
    void setPosition(std::int64_t position);
    std::int64_t Size() const;

  private:
    void requireOpen() const;

    std::string text_;
    std::size_t position_ = 0;
    bool open_ = false;
};

}  // namespace kx::rowset
