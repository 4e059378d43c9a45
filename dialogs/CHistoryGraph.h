#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRect>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "location/CHistoryReader.h"

class QPainter;

// The graph of a battery or current history: the values over time as a step line (a value holds
// until the next line of the history), the axes with their scales, and a dashed level line at the
// latest value. A second history can be drawn beside it to compare; it is shifted in time so
// that both end at the right edge. The span shows the last seconds of the history, or all of it.
class CHistoryGraph : public QWidget {
  public:
    using Sample = CHistoryReader::Sample;

    static inline const QColor kBackground{14, 22, 36};
    static inline const QColor kAxis{148, 163, 184};
    static inline const QColor kGrid{51, 65, 85};
    static inline const QColor kLine{56, 189, 248};
    static inline const QColor kCompare{250, 204, 21};
    static inline const QColor kLevel{74, 222, 128};

    CHistoryGraph(CHistoryReader::Kind kind, QWidget* parent);

    void SetHistory(std::vector<Sample> samples);
    // An empty list removes the compared history.
    void SetCompare(std::vector<Sample> samples);
    const std::vector<Sample>& GetHistory() const { return _history; }
    const std::vector<Sample>& GetCompare() const { return _compare; }
    // Seconds shown before the last line of the history; 0 shows the whole history.
    void SetSpan(int64_t seconds);
    int64_t GetSpan() const { return _span; }

    // The time shown at the left and the right edge (seconds as in the history).
    int64_t WindowStart() const;
    int64_t WindowEnd() const;
    // The lowest and the highest value of the vertical scale, and its step.
    int ScaleMin() const;
    int ScaleMax() const;
    int ScaleStep() const;
    // The samples of the history inside the window, with the value that held at its start.
    std::vector<Sample> Visible() const;

    // Where the graph is drawn in an image of `size`, and where a time and value land in it.
    QRect PlotRect(QSize size) const;
    QPointF ToPixel(int64_t seconds, int value, QSize size) const;
    // The graph drawn into an image of `size` (the page's bitmap, and the widget's own painting).
    QImage Render(QSize size) const;

    QSize sizeHint() const override { return {220, 150}; }
    QSize minimumSizeHint() const override { return {160, 110}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void Draw(QPainter& painter, QSize size) const;
    void DrawSeries(QPainter& painter, const std::vector<Sample>& samples, int64_t shift,
                    const QColor& colour, QSize size) const;
    QString ValueText(int value) const;
    // The first and last time of the history (or of the compared one when there is no history).
    bool Bounds(int64_t& first, int64_t& last) const;

    CHistoryReader::Kind _kind;
    std::vector<Sample> _history;
    std::vector<Sample> _compare;
    int64_t _span = 0;
};
