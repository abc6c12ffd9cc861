#include "link/monitor/frame_view.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace fenwire {

namespace {

constexpr int kUpdateIntervalMs = 33;  // new rows are taken in at most about 30 times a second
constexpr int kMargin = 2;             // pixels left of the first column
constexpr size_t kPaintedRowsKept = 2048;

QColor qcolor(uint32_t rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb)); }

QString fromUtf8(const std::string& text, size_t from, size_t to) {
    return QString::fromUtf8(text.data() + from, static_cast<qsizetype>(to - from));
}

}  // namespace

FrameView::FrameView(const MonitorRows& rows, Renderer render, QWidget* parent)
    : QAbstractScrollArea(parent), rows_(rows), render_(std::move(render)) {
    font_ = QFont(QStringLiteral("Courier New"));
    font_.setStyleHint(QFont::Monospace);
    font_.setFixedPitch(true);
    font_.setPointSizeF(8.75);  // 175 twips
    setFont(font_);
    viewport()->setFont(font_);
    const QFontMetrics metrics(font_);
    lineHeight_ = std::max(1, metrics.lineSpacing());
    charWidth_ = std::max(1, metrics.horizontalAdvance(QLatin1Char('0')));
    ascent_ = metrics.ascent();

    setFocusPolicy(Qt::StrongFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    updateTimer_.setSingleShot(true);
    updateTimer_.setInterval(kUpdateIntervalMs);
    connect(&updateTimer_, &QTimer::timeout, this, &FrameView::refresh);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &FrameView::userScrolled);
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, viewport(), qOverload<>(&QWidget::update));
    setWhiteBackground(false);
}

// ---- rows in -------------------------------------------------------------------

void FrameView::setWhiteBackground(bool white) {
    white_ = white;
    QPalette p = palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(group, QPalette::Base, qcolor(backgroundRgb(white)));
        p.setColor(group, QPalette::Text, qcolor(colourRgb(MonitorColour::Text, white)));
    }
    setPalette(p);
    viewport()->update();
}

void FrameView::rowsChanged() {
    if (!updateTimer_.isActive()) updateTimer_.start();
}

void FrameView::rowsCleared() {
    paintedRows_.clear();
    anchor_ = caret_ = {rows_.firstLine(), 0};
    top_ = rows_.firstLine();
    atBottom_ = true;
    refresh();
}

void FrameView::refresh() {
    updateTimer_.stop();
    // Rows kept by id: a painted row stays valid until the store is emptied;
    // the cache only must not grow without end.
    if (paintedRows_.size() > kPaintedRowsKept) paintedRows_.clear();
    // Lines that dropped out take the selection and the view with them.
    anchor_ = clamped(anchor_);
    caret_ = clamped(caret_);
    if (following()) top_ = rows_.endLine() - pageLines();
    top_ = std::max(rows_.firstLine(), std::min(top_, rows_.endLine() - pageLines()));
    updateScrollBars();
    viewport()->update();
    emit refreshed();
}

int FrameView::pageLines() const { return std::max(1, viewport()->height() / lineHeight_); }

bool FrameView::following() const { return atBottom_ && !hasSelection(); }

void FrameView::updateScrollBars() {
    settingScroll_ = true;
    QScrollBar* v = verticalScrollBar();
    const int64_t lines = rows_.lineCount();
    v->setRange(0, static_cast<int>(std::max<int64_t>(0, lines - pageLines())));
    v->setPageStep(pageLines());
    v->setSingleStep(1);
    v->setValue(static_cast<int>(top_ - rows_.firstLine()));
    QScrollBar* h = horizontalScrollBar();
    const int width = static_cast<int>(rows_.widestLine()) * charWidth_ + 2 * kMargin + charWidth_;
    h->setRange(0, std::max(0, width - viewport()->width()));
    h->setPageStep(std::max(1, viewport()->width()));
    h->setSingleStep(charWidth_);
    settingScroll_ = false;
}

void FrameView::userScrolled(int value) {
    if (settingScroll_) return;
    top_ = rows_.firstLine() + value;
    atBottom_ = value >= verticalScrollBar()->maximum();
    viewport()->update();
}

void FrameView::scrollTo(int64_t top) {
    top_ = std::max(rows_.firstLine(), std::min(top, rows_.endLine() - pageLines()));
    atBottom_ = top_ >= rows_.endLine() - pageLines();
    updateScrollBars();
    viewport()->update();
}

void FrameView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    refresh();
}

// ---- rows rendered ---------------------------------------------------------------

FrameView::PaintedRow FrameView::paint(uint64_t id) const {
    const MonitorText text = render_(rows_.row(id));
    const std::string& s = text.text;
    PaintedRow lines(1);
    // Walks the text in pieces of one colour, starting a new line at each "\r\n".
    auto addPiece = [&](size_t from, size_t to, MonitorColour colour) {
        while (from < to) {
            const size_t lineEnd = s.find("\r\n", from);
            const size_t end = std::min(to, lineEnd == std::string::npos ? s.size() : lineEnd);
            if (end > from) {
                PaintedLine& line = lines.back();
                const QString piece = fromUtf8(s, from, end);
                line.pieces.push_back({static_cast<int>(line.text.size()), static_cast<int>(piece.size()), colour});
                line.text += piece;
            }
            if (end == lineEnd && end < to) {
                lines.emplace_back();
                from = end + 2;
            } else {
                from = end;
            }
        }
    };
    size_t at = 0;
    for (const ColourRun& run : text.runs) {
        addPiece(at, run.start, MonitorColour::Text);
        addPiece(run.start, run.start + run.length, run.colour);
        at = run.start + run.length;
    }
    addPiece(at, s.size(), MonitorColour::Text);
    // The final "\r\n" ends the last line rather than opening another.
    if (lines.size() > 1 && lines.back().text.isEmpty() && s.size() >= 2 && s.compare(s.size() - 2, 2, "\r\n") == 0)
        lines.pop_back();
    return lines;
}

const FrameView::PaintedRow& FrameView::painted(uint64_t id) const {
    auto found = paintedRows_.find(id);
    if (found == paintedRows_.end()) found = paintedRows_.emplace(id, paint(id)).first;
    return found->second;
}

const FrameView::PaintedLine* FrameView::paintedLine(int64_t line) const {
    if (line < rows_.firstLine() || line >= rows_.endLine()) return nullptr;
    const uint64_t id = rows_.rowAtLine(line);
    const PaintedRow& row = painted(id);
    const auto sub = static_cast<size_t>(line - rows_.row(id).firstLine);
    return sub < row.size() ? &row[sub] : nullptr;
}

int FrameView::lineLength(int64_t line) const {
    const PaintedLine* l = paintedLine(line);
    return l ? static_cast<int>(l->text.size()) : 0;
}

QString FrameView::lineText(int64_t line) const {
    const PaintedLine* l = paintedLine(line);
    return l ? l->text : QString();
}

QColor FrameView::colourAt(Position at) const {
    const PaintedLine* l = paintedLine(at.line);
    if (l != nullptr)
        for (const Piece& piece : l->pieces)
            if (at.column >= piece.start && at.column < piece.start + piece.length)
                return qcolor(colourRgb(piece.colour, white_));
    return {};
}

QString FrameView::plainText() const {
    QString all;
    for (uint64_t id = rows_.firstId(); id < rows_.endId(); ++id) {
        QString text = QString::fromStdString(render_(rows_.row(id)).text);
        text.remove(QLatin1Char('\r'));
        all += text;
    }
    return all;
}

// ---- painting --------------------------------------------------------------------

void FrameView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), qcolor(backgroundRgb(white_)));
    p.setFont(font_);
    const int left = kMargin - horizontalScrollBar()->value();
    const Position from = std::min(anchor_, caret_);
    const Position to = std::max(anchor_, caret_);
    const QColor highlight = palette().color(QPalette::Highlight);
    const QColor highlightedText = palette().color(QPalette::HighlightedText);
    const int height = viewport()->height();
    const int64_t end = std::min(rows_.endLine(), top_ + height / lineHeight_ + 1);
    for (int64_t line = std::max(top_, rows_.firstLine()); line < end; ++line) {
        const int y = static_cast<int>(line - top_) * lineHeight_;
        const PaintedLine* l = paintedLine(line);
        if (l == nullptr) continue;
        for (const Piece& piece : l->pieces) {
            p.setPen(qcolor(colourRgb(piece.colour, white_)));
            p.drawText(QPoint(left + piece.start * charWidth_, y + ascent_), l->text.mid(piece.start, piece.length));
        }
        if (from != to && line >= from.line && line <= to.line) {
            // The selection, with one cell past the end where it runs on to the next line.
            const int length = static_cast<int>(l->text.size());
            const int start = line == from.line ? std::min(from.column, length) : 0;
            const int stop = line == to.line ? std::min(to.column, length) : length + 1;
            if (stop > start) {
                p.fillRect(QRect(left + start * charWidth_, y, (stop - start) * charWidth_, lineHeight_), highlight);
                p.setPen(highlightedText);
                p.drawText(QPoint(left + start * charWidth_, y + ascent_), l->text.mid(start, stop - start));
            }
        }
        if (hasFocus() && line == caret_.line) {
            const int x = left + std::min(caret_.column, static_cast<int>(l->text.size())) * charWidth_;
            p.setPen(qcolor(colourRgb(MonitorColour::Field, white_)));
            p.drawLine(x, y, x, y + lineHeight_ - 1);
        }
    }
}

void FrameView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void FrameView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

// ---- selection -------------------------------------------------------------------

FrameView::Position FrameView::endPosition() const {
    if (rows_.empty()) return {rows_.endLine(), 0};
    return {rows_.endLine() - 1, lineLength(rows_.endLine() - 1)};
}

FrameView::Position FrameView::clamped(Position at) const {
    if (rows_.empty()) return {rows_.endLine(), 0};
    if (at.line < rows_.firstLine()) return {rows_.firstLine(), 0};
    if (at.line >= rows_.endLine()) return endPosition();
    return {at.line, std::clamp(at.column, 0, lineLength(at.line))};
}

FrameView::Position FrameView::hit(const QPoint& point) const {
    const int64_t line = top_ + (point.y() < 0 ? -1 - (-point.y() / lineHeight_) : point.y() / lineHeight_);
    const int x = point.x() - kMargin + horizontalScrollBar()->value();
    const int column = std::max(0, (x + charWidth_ / 2) / charWidth_);
    return clamped({line, column});
}

void FrameView::select(Position anchor, Position caret) {
    anchor_ = clamped(anchor);
    caret_ = clamped(caret);
    ensureVisible(caret_);
    viewport()->update();
}

void FrameView::selectAll() {
    anchor_ = {rows_.firstLine(), 0};
    caret_ = endPosition();
    viewport()->update();
}

void FrameView::selectRow(uint64_t id) {
    if (id < rows_.firstId() || id >= rows_.endId()) return;
    const MonitorRow& row = rows_.row(id);
    const int64_t last = row.firstLine + row.lines - 1;
    anchor_ = {row.firstLine, 0};
    caret_ = {last, lineLength(last)};
    scrollTo(row.firstLine - (pageLines() - row.lines) / 2);
}

std::optional<uint64_t> FrameView::selectedRow() const {
    if (!hasSelection() || rows_.empty()) return std::nullopt;
    return rows_.rowAtLine(caret_.line);
}

std::optional<std::pair<uint64_t, uint64_t>> FrameView::selectedRows() const {
    if (!hasSelection() || rows_.empty()) return std::nullopt;
    const Position from = clamped(std::min(anchor_, caret_));
    Position to = clamped(std::max(anchor_, caret_));
    if (to.column == 0 && to.line > from.line) --to.line;
    return std::make_pair(rows_.rowAtLine(from.line), rows_.rowAtLine(to.line) + 1);
}

void FrameView::moveToEnd() {
    anchor_ = caret_ = endPosition();
    atBottom_ = true;
    refresh();
}

std::string FrameView::selectedText() const {
    if (!hasSelection()) return {};
    const Position from = clamped(std::min(anchor_, caret_));
    const Position to = clamped(std::max(anchor_, caret_));
    // Rendered straight from the rows, not through the paint cache: a
    // selection may hold every kept row.
    std::string out;
    int64_t line = from.line;
    for (uint64_t id = rows_.rowAtLine(from.line); id < rows_.endId() && line <= to.line; ++id) {
        const MonitorRow& row = rows_.row(id);
        const std::string text = render_(row).text;
        size_t at = 0;
        for (int64_t l = row.firstLine; l < row.firstLine + row.lines && at <= text.size(); ++l) {
            size_t end = text.find("\r\n", at);
            if (end == std::string::npos) end = text.size();
            if (l >= from.line && l <= to.line) {
                QString shown = fromUtf8(text, at, end);
                const int start = l == from.line ? std::min(from.column, static_cast<int>(shown.size())) : 0;
                const int stop = l == to.line ? std::min(to.column, static_cast<int>(shown.size()))
                                              : static_cast<int>(shown.size());
                if (l > from.line) out += "\r\n";
                out += shown.mid(start, std::max(0, stop - start)).toStdString();
            }
            at = end + 2;
        }
        line = row.firstLine + row.lines;
    }
    return out;
}

void FrameView::copy() const {
    if (!hasSelection()) return;
    QString text = QString::fromStdString(selectedText());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QApplication::clipboard()->setText(text);
}

void FrameView::ensureVisible(Position at) {
    if (at.line < top_) scrollTo(at.line);
    else if (at.line >= top_ + pageLines()) scrollTo(at.line - pageLines() + 1);
    QScrollBar* h = horizontalScrollBar();
    const int x = at.column * charWidth_;
    if (x < h->value()) h->setValue(x);
    else if (x > h->value() + viewport()->width() - 2 * kMargin - charWidth_)
        h->setValue(x - viewport()->width() + 2 * kMargin + charWidth_);
}

void FrameView::moveCaret(Position to, bool extend) {
    caret_ = clamped(to);
    if (!extend) anchor_ = caret_;
    ensureVisible(caret_);
    viewport()->update();
}

// ---- mouse and keys ----------------------------------------------------------------

void FrameView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
    dragging_ = true;
    moveCaret(hit(event->position().toPoint()), event->modifiers() & Qt::ShiftModifier);
}

void FrameView::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return QAbstractScrollArea::mouseMoveEvent(event);
    moveCaret(hit(event->position().toPoint()), true);
}

void FrameView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragging_ = false;
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void FrameView::mouseDoubleClickEvent(QMouseEvent* event) {
    // A double click takes the whole frame it lands on.
    const Position at = hit(event->position().toPoint());
    if (rows_.empty()) return;
    const MonitorRow& row = rows_.row(rows_.rowAtLine(at.line));
    const int64_t last = row.firstLine + row.lines - 1;
    anchor_ = {row.firstLine, 0};
    caret_ = {last, lineLength(last)};
    dragging_ = false;
    viewport()->update();
}

void FrameView::keyPressEvent(QKeyEvent* event) {
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    Position to = caret_;
    switch (event->key()) {
    case Qt::Key_Left:
        if (to.column > 0) --to.column;
        else if (to.line > rows_.firstLine()) to = {to.line - 1, lineLength(to.line - 1)};
        break;
    case Qt::Key_Right:
        if (to.column < lineLength(to.line)) ++to.column;
        else if (to.line + 1 < rows_.endLine()) to = {to.line + 1, 0};
        break;
    case Qt::Key_Up: --to.line; break;
    case Qt::Key_Down: ++to.line; break;
    case Qt::Key_PageUp: to.line -= pageLines(); break;
    case Qt::Key_PageDown: to.line += pageLines(); break;
    case Qt::Key_Home: to = control ? Position{rows_.firstLine(), 0} : Position{to.line, 0}; break;
    case Qt::Key_End: to = control ? endPosition() : Position{to.line, lineLength(to.line)}; break;
    case Qt::Key_Escape:
        anchor_ = caret_;
        viewport()->update();
        return;
    default:
        if (event->matches(QKeySequence::Copy)) return copy();
        if (event->matches(QKeySequence::SelectAll)) return selectAll();
        return QAbstractScrollArea::keyPressEvent(event);
    }
    moveCaret(to, extend);
}

}  // namespace fenwire
