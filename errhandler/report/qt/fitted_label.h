#pragma once
// A label of one fixed size whatever its text: the text is shown as plain text (markup appears as
// written), wrapped at word boundaries, or anywhere in a word longer than a line, from the top
// down; what does not fit is cut after the last whole line, which then ends in an ellipsis. Line
// feeds in the text start new lines. text() is the whole text as set.

#include <QLabel>

namespace kx::errhandler {

class FittedLabel final : public QLabel {
  public:
    // `lines` lines of the label's font high, `width` pixels wide.
    FittedLabel(const QString& text, int width, int lines, QWidget* parent);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void fixSize();

    int width_;
    int lines_;
};

}  // namespace kx::errhandler
