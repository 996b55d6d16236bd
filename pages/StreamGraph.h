#pragma once
// Series1 of the stream chart. Its samples sit at consecutive x and are kept in step in a sample
// trace, whose block table of extremes lets a chart of millions of samples be drawn in time
// proportional to its width: each pixel column is drawn as the span of the samples it covers.
// Gaps (NaN) break the line. With few samples per pixel it draws as a plain graph.
#include <qcustomplot.h>

class TSampleTrace;

class TStreamGraph : public QCPGraph {
  public:
    TStreamGraph(QCPAxis* keyAxis, QCPAxis* valueAxis, const TSampleTrace& trace);

  protected:
    void draw(QCPPainter* painter) override;

  private:
    const TSampleTrace& trace_;
};
