// The bus monitor's text area: shows the kept rows (monitor_rows.h) as
// coloured lines of a fixed-pitch font, rendering only the rows on screen.
// New rows are taken in at most about 30 times a second, however fast they
// come. The view follows the newest row unless the user has scrolled up or
// selected text. Text is selected by mouse or keyboard across lines, as in
// a read-only text box; the selection is what Pick, Copy, Print Selection
// and frame files take.
#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "link/monitor/monitor_rows.h"

namespace fenwire {

class FrameView : public QAbstractScrollArea {
    Q_OBJECT
public:
    using Renderer = std::function<MonitorText(const MonitorRow&)>;
    FrameView(const MonitorRows& rows, Renderer render, QWidget* parent = nullptr);

    // A place in the text: a screen line (counted as MonitorRows counts them)
    // and a character column in it.
    struct Position {
        int64_t line = 0;
        int column = 0;
        auto operator<=>(const Position&) const = default;
    };

    void setWhiteBackground(bool white);
    // Rows came or dropped out: the view catches up at its next update.
    void rowsChanged();
    // The rows were emptied: no selection, following the newest again.
    void rowsCleared();
    // Takes in every change now instead of at the next update.
    void refresh();

    bool following() const;
    bool hasSelection() const { return anchor_ != caret_; }
    // The selected text, "\r\n" between lines.
    std::string selectedText() const;
    void select(Position anchor, Position caret);
    void selectAll();
    // Selects the whole row and scrolls it into the middle of the view.
    void selectRow(uint64_t id);
    // The row at the caret while text is selected.
    std::optional<uint64_t> selectedRow() const;
    // The rows the selection touches, first and one past the last; nothing
    // without a selection. A selection ending at the start of a line leaves that line's row out.
    std::optional<std::pair<uint64_t, uint64_t>> selectedRows() const;
    // The caret to the end of the text, nothing selected: following the newest again.
    void moveToEnd();
    // The selection onto the clipboard.
    void copy() const;

    // What the view shows, as plain text: every kept line followed by "\n".
    QString plainText() const;
    QString lineText(int64_t line) const;
    // The colour a character is drawn in (its text colour, not a selection's).
    QColor colourAt(Position at) const;
    int64_t topLine() const { return top_; }
    int pageLines() const;

signals:
    // The view took in new rows (at most about 30 times a second).
    void refreshed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    struct Piece {
        int start = 0;
        int length = 0;
        MonitorColour colour = MonitorColour::Text;
    };
    struct PaintedLine {
        QString text;
        std::vector<Piece> pieces;
    };
    using PaintedRow = std::vector<PaintedLine>;

    const PaintedRow& painted(uint64_t id) const;
    PaintedRow paint(uint64_t id) const;
    const PaintedLine* paintedLine(int64_t line) const;
    int lineLength(int64_t line) const;
    Position clamped(Position at) const;
    Position endPosition() const;
    Position hit(const QPoint& point) const;
    void scrollTo(int64_t top);
    void ensureVisible(Position at);
    void moveCaret(Position to, bool extend);
    void userScrolled(int value);
    void updateScrollBars();

    const MonitorRows& rows_;
    Renderer render_;
    QFont font_;
    int lineHeight_ = 1;
    int charWidth_ = 1;
    int ascent_ = 0;
    bool white_ = false;

    int64_t top_ = 0;        // first line on screen
    bool atBottom_ = true;   // the user left the view at the newest line
    bool settingScroll_ = false;
    Position anchor_;
    Position caret_;
    bool dragging_ = false;
    QTimer updateTimer_;
    mutable std::unordered_map<uint64_t, PaintedRow> paintedRows_;
};

}  // namespace fenwire
