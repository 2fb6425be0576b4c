#include "PrintPageOrder.h"

#include <QStringList>
#include <algorithm>
#include <climits>

namespace kve::report {

namespace {

// A page number of the list: digits only, at least 1. Overlong numbers are kept as
// "past the end" rather than wrapped around.
std::optional<int> pageNumber(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || !std::all_of(t.begin(), t.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    bool ok = false;
    const qlonglong n = t.toLongLong(&ok);
    if (!ok || n > INT_MAX)
        return INT_MAX;
    if (n < 1)
        return std::nullopt;
    return int(n);
}

void setError(QString *error, const QString &text)
{
    if (error)
        *error = text;
}

} // namespace

std::optional<std::vector<int>> PrintPageOrder::parseList(const QString &list, int pageCount, QString *error)
{
    if (list.trimmed().isEmpty()) {
        setError(error, QStringLiteral("Укажите номера страниц для печати, например 1,3,5-12."));
        return std::nullopt;
    }
    std::vector<bool> chosen(std::size_t(std::max(pageCount, 0)), false);
    for (const QString &part : list.split(u',')) {
        const QString item = part.trimmed();
        const auto bad = [&] {
            setError(error, QStringLiteral("Не удаётся прочитать номера страниц \"%1\": ошибка в \"%2\". "
                                           "Укажите номера и диапазоны через запятую, например 1,3,5-12.")
                                .arg(list.trimmed(), item));
            return std::nullopt;
        };
        int from = 0, to = 0;
        const qsizetype dash = item.indexOf(u'-');
        if (dash < 0) {
            const auto n = pageNumber(item);
            if (!n)
                return bad();
            from = to = *n;
        } else {
            const auto a = pageNumber(item.left(dash));
            const auto b = pageNumber(item.mid(dash + 1));
            if (!a || !b || *a > *b)
                return bad();
            from = *a;
            to = *b;
        }
        for (int p = from; p <= std::min(to, pageCount); ++p)
            chosen[std::size_t(p - 1)] = true;
    }
    std::vector<int> pages;
    for (int i = 0; i < pageCount; ++i)
        if (chosen[std::size_t(i)])
            pages.push_back(i);
    if (pages.empty()) {
        setError(error, QStringLiteral("В отчёте нет страниц \"%1\": всего в нём страниц: %2.").arg(list.trimmed()).arg(pageCount));
        return std::nullopt;
    }
    return pages;
}

std::optional<std::vector<int>> PrintPageOrder::chosenPages(const PrintChoice &choice, int pageCount, QString *error)
{
    switch (choice.pages) {
    case PrintChoice::Pages::List:
        return parseList(choice.list, pageCount, error);
    case PrintChoice::Pages::Current:
        if (choice.currentPage < 0 || choice.currentPage >= pageCount) {
            setError(error, QStringLiteral("Текущей страницы нет: откройте отчёт в предварительном просмотре."));
            return std::nullopt;
        }
        return std::vector<int>{choice.currentPage};
    case PrintChoice::Pages::All:
        break;
    }
    std::vector<int> pages;
    for (int i = 0; i < pageCount; ++i)
        pages.push_back(i);
    if (pages.empty()) {
        setError(error, QStringLiteral("В отчёте нет страниц."));
        return std::nullopt;
    }
    return pages;
}

std::vector<int> PrintPageOrder::sequence(const std::vector<int> &pages, int copies, bool collate)
{
    std::vector<int> out;
    const int n = std::max(copies, 1);
    out.reserve(pages.size() * std::size_t(n));
    if (collate) {
        for (int c = 0; c < n; ++c)
            out.insert(out.end(), pages.begin(), pages.end());
    } else {
        for (int p : pages)
            out.insert(out.end(), std::size_t(n), p);
    }
    return out;
}

std::optional<std::vector<int>> PrintPageOrder::printOrder(const PrintChoice &choice, int pageCount, QString *error)
{
    auto pages = chosenPages(choice, pageCount, error);
    if (!pages)
        return std::nullopt;
    return sequence(*pages, choice.copies, choice.collate);
}

} // namespace kve::report
