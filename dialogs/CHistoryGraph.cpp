#include "dialogs/CHistoryGraph.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cstdlib>

#include "core/CTextsMgr.h"
#include "core/DateTime.h"
#include "core/SafeFormat.h"
#include "dialogs/DialogStyle.h"

namespace {

// The shortest window drawn, so that one line or lines of the same second still make a graph.
constexpr int64_t kMinWindow = 60;

QString TimeText(int64_t seconds, bool withDate) {
    SYSTEMTIME t;
    if (!TicksToSystemTime(seconds * DT_SECOND, t)) {
        return {};
    }
    return withDate ? QString::asprintf("%02d/%02d %02d:%02d", t.wDay, t.wMonth, t.wHour, t.wMinute)
                    : QString::asprintf("%02d:%02d", t.wHour, t.wMinute);
}

}  // namespace

CHistoryGraph::CHistoryGraph(CHistoryReader::Kind kind, QWidget* parent) : QWidget(parent), _kind(kind) {
    setObjectName("graph");
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void CHistoryGraph::SetHistory(std::vector<Sample> samples) {
    _history = std::move(samples);
    update();
}

void CHistoryGraph::SetCompare(std::vector<Sample> samples) {
    _compare = std::move(samples);
    update();
}

void CHistoryGraph::SetSpan(int64_t seconds) {
    _span = std::max<int64_t>(0, seconds);
    update();
}

bool CHistoryGraph::Bounds(int64_t& first, int64_t& last) const {
    const std::vector<Sample>& source = _history.empty() ? _compare : _history;
    if (source.empty()) {
        return false;
    }
    // Lines are written in time order, but an edited file or a clock set back may break it.
    auto [low, high] = std::minmax_element(
        source.begin(), source.end(), [](const Sample& a, const Sample& b) { return a.seconds < b.seconds; });
    first = low->seconds;
    last = high->seconds;
    return true;
}

int64_t CHistoryGraph::WindowEnd() const {
    int64_t first = 0, last = 0;
    return Bounds(first, last) ? last : 0;
}

int64_t CHistoryGraph::WindowStart() const {
    int64_t first = 0, last = 0;
    if (!Bounds(first, last)) {
        return -kMinWindow;
    }
    int64_t start = _span > 0 ? last - _span : first;
    return std::min(start, last - kMinWindow);
}

std::vector<CHistoryGraph::Sample> CHistoryGraph::Visible() const {
    const int64_t start = WindowStart();
    std::vector<Sample> out;
    const Sample* before = nullptr;
    for (const Sample& s : _history) {
        if (s.seconds < start) {
            before = &s;
        } else {
            out.push_back(s);
        }
    }
    // The value that held when the window begins, placed at its start.
    if (before && (out.empty() || out.front().seconds > start)) {
        out.insert(out.begin(), Sample{start, before->value});
    }
    return out;
}

int CHistoryGraph::ScaleStep() const {
    if (_kind == CHistoryReader::Kind::Battery) {
        return 25;
    }
    // Four to eight steps of a round size over the range of both histories.
    const int range = ScaleMax() - ScaleMin();
    for (int step : {25, 50, 100, 200, 250, 500, 1000, 2000, 5000, 10000, 20000, 50000}) {
        if (range / step <= 6) {
            return step;
        }
    }
    return 100000;
}

int CHistoryGraph::ScaleMin() const {
    if (_kind == CHistoryReader::Kind::Battery) {
        return 0;
    }
    int low = 0;
    for (const auto* list : {&_history, &_compare}) {
        for (const Sample& s : *list) {
            low = std::min(low, s.value);
        }
    }
    // Rounded down to a hundred milliamperes.
    return low >= 0 ? 0 : -((-low + 99) / 100) * 100;
}

int CHistoryGraph::ScaleMax() const {
    if (_kind == CHistoryReader::Kind::Battery) {
        return 100;
    }
    int high = 0;
    for (const auto* list : {&_history, &_compare}) {
        for (const Sample& s : *list) {
            high = std::max(high, s.value);
        }
    }
    const int max = ((high + 99) / 100) * 100;
    // A flat history at 0 mA still gets a scale.
    return max == ScaleMin() ? max + 100 : max;
}

QString CHistoryGraph::ValueText(int value) const {
    if (_kind == CHistoryReader::Kind::Battery) {
        return QString::number(value) + "%";
    }
    return QString::fromStdString(SafeSprintf(CTextsMgr::Text("DIALOG_CURRENT_MA"), value));
}

QRect CHistoryGraph::PlotRect(QSize size) const {
    const QFontMetrics metrics(dialog_style::Font(this));
    const int labelWidth = std::max(metrics.horizontalAdvance(ValueText(ScaleMin())),
                                    metrics.horizontalAdvance(ValueText(ScaleMax())));
    const int left = labelWidth + 6;
    const int top = metrics.height() / 2 + 2;
    const int bottom = metrics.height() + 6;
    const int right = 6;
    return QRect(left, top, std::max(10, size.width() - left - right),
                 std::max(10, size.height() - top - bottom));
}

QPointF CHistoryGraph::ToPixel(int64_t seconds, int value, QSize size) const {
    const QRect plot = PlotRect(size);
    const int64_t start = WindowStart();
    const double width = static_cast<double>(WindowEnd() - start);
    const double x = plot.left() + (seconds - start) / width * plot.width();
    const double range = ScaleMax() - ScaleMin();
    const double y = plot.bottom() - (value - ScaleMin()) / range * plot.height();
    return {x, y};
}

QImage CHistoryGraph::Render(QSize size) const {
    QImage image(size, QImage::Format_RGB32);
    image.fill(kBackground);
    QPainter painter(&image);
    Draw(painter, size);
    return image;
}

void CHistoryGraph::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    Draw(painter, size());
}

void CHistoryGraph::DrawSeries(QPainter& painter, const std::vector<Sample>& samples, int64_t shift,
                               const QColor& colour, QSize size) const {
    const int64_t start = WindowStart();
    const int64_t end = WindowEnd();
    QPainterPath path;
    bool begun = false;
    int held = 0;
    bool haveHeld = false;
    for (size_t i = 0; i < samples.size(); ++i) {
        const int64_t t = samples[i].seconds + shift;
        const int value = samples[i].value;
        if (t < start) {
            held = value;
            haveHeld = true;
            continue;
        }
        if (t > end) {
            break;
        }
        if (!begun) {
            if (haveHeld) {
                path.moveTo(ToPixel(start, held, size));
                path.lineTo(ToPixel(t, held, size));
            } else {
                path.moveTo(ToPixel(t, value, size));
            }
            begun = true;
        } else {
            // The value held until this line, then the step to the new one.
            path.lineTo(ToPixel(t, held, size));
        }
        path.lineTo(ToPixel(t, value, size));
        held = value;
        haveHeld = true;
    }
    if (!begun && haveHeld) {
        path.moveTo(ToPixel(start, held, size));
        begun = true;
    }
    if (!begun) {
        return;
    }
    // The last value holds to the right edge.
    path.lineTo(ToPixel(end, held, size));
    painter.setPen(QPen(colour, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(path);
}

void CHistoryGraph::Draw(QPainter& painter, QSize size) const {
    const QRect plot = PlotRect(size);
    const QFont font = dialog_style::Font(this);
    const QFontMetrics metrics(font);
    painter.setFont(font);
    painter.setRenderHint(QPainter::Antialiasing, false);

    // The vertical scale: grid lines and their values.
    const int step = ScaleStep();
    for (int v = ScaleMin(); v <= ScaleMax(); v += step) {
        const int y = static_cast<int>(ToPixel(WindowStart(), v, size).y());
        painter.setPen(QPen(kGrid, 1, Qt::DotLine));
        painter.drawLine(plot.left(), y, plot.right(), y);
        painter.setPen(kAxis);
        const QString text = ValueText(v);
        painter.drawText(QRect(0, y - metrics.height() / 2, plot.left() - 4, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, text);
    }
    // The time scale: the start, the middle and the end of the window (with the date when the
    // window reaches over more than a day).
    const int64_t start = WindowStart();
    const int64_t end = WindowEnd();
    const bool withDate = end - start > 24 * 3600;
    const int labelY = plot.bottom() + 4;
    painter.setPen(kAxis);
    if (!_history.empty() || !_compare.empty()) {
        painter.drawText(QRect(plot.left(), labelY, plot.width(), metrics.height()), Qt::AlignLeft,
                         TimeText(start, withDate));
        painter.drawText(QRect(plot.left(), labelY, plot.width(), metrics.height()), Qt::AlignRight,
                         TimeText(end, withDate));
        if (metrics.horizontalAdvance(TimeText(end, withDate)) * 3 + 12 < plot.width()) {
            painter.drawText(QRect(plot.left(), labelY, plot.width(), metrics.height()), Qt::AlignHCenter,
                             TimeText(start + (end - start) / 2, withDate));
        }
    }
    // The axes.
    painter.setPen(QPen(kAxis, 1));
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.drawLine(plot.bottomLeft(), plot.topLeft());

    painter.save();
    painter.setClipRect(plot.adjusted(0, -1, 1, 1));
    if (!_compare.empty()) {
        int64_t first = 0, last = 0;
        const int64_t compareEnd =
            std::max_element(_compare.begin(), _compare.end(), [](const Sample& a, const Sample& b) {
                return a.seconds < b.seconds;
            })->seconds;
        Bounds(first, last);
        DrawSeries(painter, _compare, last - compareEnd, kCompare, size);
    }
    DrawSeries(painter, _history, 0, kLine, size);
    // The level line: the latest value across the whole width, with its value.
    if (!_history.empty()) {
        const int level = _history.back().value;
        const int y = static_cast<int>(ToPixel(start, level, size).y());
        painter.setPen(QPen(kLevel, 1, Qt::DashLine));
        painter.drawLine(plot.left(), y, plot.right(), y);
        const QString text = ValueText(level);
        const int textY = y - metrics.height() - 1 >= plot.top() ? y - metrics.height() - 1 : y + 2;
        painter.drawText(QRect(plot.left() + 3, textY, plot.width() - 6, metrics.height()), Qt::AlignLeft,
                         text);
    }
    painter.restore();
}
