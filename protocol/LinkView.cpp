#include "protocol/LinkView.h"

namespace {
// Stands in while no window is registered (before it is built, after it is gone).
class TSilentView final : public TLinkView {
  public:
    void SetStatusText(int, const QString&) override {}
    void AddLatchRow(int, TLatchColumn, const QString&) override {}
    void StartFrameTimeout() override {}
    void StopFrameTimeout() override {}
    void StartErrorClear() override {}
    void EnableAfterDefaults() override {}
    void ShowModbusException(const QString&, const QString&) override {}
    void StreamText(TDevice&, const QByteArray&) override {}
};

TSilentView silentView;
TLinkView* registeredView = nullptr;
} // namespace

void SetLinkView(TLinkView* view)
{
    registeredView = view;
}

TLinkView& LinkView()
{
    return registeredView ? *registeredView : silentView;
}
