#pragma once
// The text of the support pages. Everything a page shows of a report came from an outside sender,
// so page text is a type of its own: Html is made only by escape(), the one escaping function,
// and by filling a page template (templates/*.html, carried inside the program) whose slots take
// Html. Text that has not been escaped cannot reach a page.

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace kx::server::support {

class Html {
  public:
    Html() = default;
    const std::string& text() const { return text_; }
    Html& operator+=(const Html& more) {
        text_ += more.text_;
        return *this;
    }

  private:
    explicit Html(std::string text) : text_(std::move(text)) {}
    friend Html escape(std::string_view text);
    friend Html fill(std::string_view templateName,
                     std::initializer_list<std::pair<std::string_view, Html>> slots);

    std::string text_;
};

// `text` as page text: "&", "<", ">", '"' and "'" become character references (so the result is
// safe between tags and in quoted attribute values), and control characters other than tab, line
// feed and carriage return become U+FFFD.
Html escape(std::string_view text);

// The template `templateName` with each "{{name}}" replaced by the Html of that slot. Throws
// std::logic_error for an unknown template or a slot it names that is not given.
Html fill(std::string_view templateName,
          std::initializer_list<std::pair<std::string_view, Html>> slots);

// A file carried inside the program: the page templates and the style sheet. Throws
// std::logic_error for an unknown name.
std::string_view embeddedFile(std::string_view name);

}  // namespace kx::server::support
