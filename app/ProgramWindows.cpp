#include "ProgramWindows.h"

#include "KveApplication.h"
#include "about.h"
#include "logo.h"
#include "main.h"

#include "analysis/graf.h"
#include "analysis/mas.h"
#include "analysis/param_graf.h"
#include "device/receive.h"

namespace kve {

ProgramWindows::ProgramWindows()
{
    form1 = std::make_unique<TForm1>();
    TForm1 *main = form1.get();
    const auto activeSeries = [main] { return main->activeSeries(); };
    form2 = std::make_unique<TForm2>(main, main);
    QObject::connect(form2.get(), &TForm2::errorOccurred, main, [](const QString &text) { kve::showErrorBox(text); });
    form3 = std::make_unique<TForm3>(
        main->table(), [this] { return form4->chartChoice(); }, activeSeries, main);
    form4 = std::make_unique<TForm4>(main->table(), main);
    form5 = std::make_unique<TForm5>();
    form6 = std::make_unique<Tform6>(main);
    form7 = std::make_unique<TForm7>(main->table(), activeSeries, main);
    main->setWindows(form2.get(), form3.get(), form4.get(), form6.get(), form7.get());
}

// The dialogs are children of the main window: they go before it.
ProgramWindows::~ProgramWindows()
{
    form7.reset();
    form6.reset();
    form5.reset();
    form3.reset();
    form4.reset();
    form2.reset();
    form1.reset();
}

} // namespace kve
