#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace kve::report {

// What the operator chose in the print dialog, apart from the printer.
struct PrintChoice {
    enum class Pages { All, Current, List };
    Pages pages = Pages::All;
    QString list;          // page numbers and ranges, such as "1,3,5-12"
    int currentPage = -1;  // 0-based; -1 when there is no current page (no preview)
    int copies = 1;
    bool collate = true;
};

// Turns a print choice into the pages to print, in the order they go to the printer.
// We print copies ourselves: the print server never sees a page list or a copy count.
class PrintPageOrder {
public:
    // The report pages (0-based, ascending, each once) named by a list of page numbers
    // and ranges of a report of `pageCount` pages. Numbers past the last page are
    // dropped; a list that cannot be read or names no page of the report gives no value
    // and an operator-readable reason in `error`.
    static std::optional<std::vector<int>> parseList(const QString &list, int pageCount, QString *error = nullptr);

    // The chosen pages (0-based, ascending), or no value and the reason.
    static std::optional<std::vector<int>> chosenPages(const PrintChoice &choice, int pageCount,
                                                       QString *error = nullptr);

    // The sheets in print order: collated, the whole set once per copy; otherwise every
    // page `copies` times before the next.
    static std::vector<int> sequence(const std::vector<int> &pages, int copies, bool collate);

    // chosenPages() then sequence().
    static std::optional<std::vector<int>> printOrder(const PrintChoice &choice, int pageCount,
                                                      QString *error = nullptr);
};

} // namespace kve::report
