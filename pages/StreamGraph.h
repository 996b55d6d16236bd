#pragma once
// Series1 of the stream chart. Its samples sit at consecutive x; a table of minimum and maximum
// per block of samples lets a chart of millions of samples be drawn in time proportional to its
// width: each pixel column is drawn as the span of the samples it covers. Gaps (NaN) break the
// line. With few samples per pixel it draws as a plain graph.
#include <qcustomplot.h>
#include <vector>

class TStreamGraph : public QCPGraph {
  public:
    TStreamGraph(QCPAxis* keyAxis, QCPAxis* valueAxis);

    // Keep the block table in step with the data: after every appended value, and after a clear.
    void Appended(double value);
    void Cleared();

  protected:
    void draw(QCPPainter* painter) override;

  private:
    struct TBlock {
        double lo;
        double hi;
    };
    // The smallest and largest value of samples [from, to); false when all are gaps.
    bool Span(int from, int to, double& lo, double& hi) const;

    std::vector<TBlock> blocks_;
    int count_ = 0;
};
