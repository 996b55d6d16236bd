#include "operations/WorkerFactory.h"
#include "operations/TThread10Unit.h"
#include "operations/TThread11Unit.h"
#include "operations/TThread12Unit.h"
#include "operations/TThread13Unit.h"
#include "operations/TThread14Unit.h"
#include "operations/TThread2Unit.h"
#include "operations/TThread3Unit.h"
#include "operations/TThread4Unit.h"
#include "operations/TThread5Unit.h"
#include "operations/TThread6Unit.h"
#include "operations/TThread7Unit.h"
#include "operations/TThread8Unit.h"
#include "operations/TThread9Unit.h"
#include "operations/TTrdDeviceUnit.h"
#include "operations/Tthread1Unit.h"
#include "protocol/LinkState.h"
#include <array>

namespace {
using TMaker = std::shared_ptr<TWorkerThread> (*)(TForm1&, TOperationThreads&);

template <class TWorker> std::shared_ptr<TWorkerThread> Make(TForm1&, TOperationThreads& threads)
{
    return std::make_shared<TWorker>(threads);
}

// Workers that change the window through main-thread calls.
template <class TWorker> std::shared_ptr<TWorkerThread> MakeWithForm(TForm1& form, TOperationThreads& threads)
{
    return std::make_shared<TWorker>(threads, form);
}

std::shared_ptr<TWorkerThread> MakeSaveToFlash(TForm1& form, TOperationThreads& threads)
{
    return std::make_shared<TThread11>(threads, form);
}

std::shared_ptr<TWorkerThread> MakeReadAllLatches(TForm1& form, TOperationThreads& threads)
{
    return std::make_shared<TThread13>(threads, form);
}

// A probe pass runs at the line speed the search had reached when its supervisor made it.
std::shared_ptr<TWorkerThread> MakeProbePass(TForm1& form, TOperationThreads& threads)
{
    return std::make_shared<TThread4>(threads, form, SearchSpeed.load());
}

std::shared_ptr<TWorkerThread> MakeIdentification(TForm1& form, TOperationThreads& threads)
{
    return std::make_shared<TThread12>(threads, form);
}

// Indexed by operation code; the operations without an entry are not built yet.
constexpr std::array<TMaker, 16> Makers{
    nullptr,          // 0 no operation
    &Make<Tthread1>,  // 1 switch on
    &Make<TThread2>,  // 2 switch off
    &MakeWithForm<TTrdDevice>, // 3 read parameters
    &MakeWithForm<TThread3>,   // 4 write parameters
    &MakeWithForm<TThread9>,   // 5 defaults
    &MakeSaveToFlash, // 6 save to flash
    &MakeWithForm<TThread5>,  // 7 start stream
    &MakeWithForm<TThread10>, // 8 stop stream
    &Make<TThread6>,  // 9 latch
    &Make<TThread7>,  // 10 read latch
    &Make<TThread8>,  // 11 read last result
    &MakeProbePass,      // 12 probe pass
    &MakeIdentification, // 13 identification
    &MakeReadAllLatches, // 14 read all latches
    &Make<TThread14>, // 15 configure
};

TMaker MakerOf(int code)
{
    return code >= 0 && code < static_cast<int>(Makers.size()) ? Makers[static_cast<std::size_t>(code)]
                                                               : nullptr;
}
} // namespace

bool HasWorker(int code)
{
    return MakerOf(code) != nullptr;
}

std::shared_ptr<TWorkerThread> CreateWorker(std::uint8_t code, TForm1& form, TOperationThreads& threads)
{
    const TMaker make = MakerOf(code);
    return make ? make(form, threads) : nullptr;
}
