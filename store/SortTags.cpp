#include "SortTags.h"

#include "DbfFile.h"
#include "TableError.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace kve {

void SortTags::add(const QString &name, int field, bool descending, const QString &filePath)
{
    m_tags[name] = Tag{field, descending};
    m_filePath = filePath;
}

void SortTags::remove(const QString &name)
{
    m_tags.erase(name);
    if (m_active == name)
        m_active.clear();
}

void SortTags::setActive(const QString &name)
{
    if (!name.isEmpty() && !m_tags.count(name))
        throw TableError(QStringLiteral("Индекс %1 не найден").arg(name));
    m_active = name;
}

void SortTags::clear()
{
    m_tags.clear();
    m_active.clear();
}

void SortTags::forgetUnlessOf(const QString &filePath)
{
    if (m_filePath != filePath)
        m_tags.clear();
}

void SortTags::openedFile(const QString &filePath)
{
    if (m_filePath != filePath) {
        m_tags.clear();
        m_filePath = filePath;
    }
    if (!m_active.isEmpty() && !m_tags.count(m_active))
        m_active.clear();
}

void SortTags::sort(std::vector<int> &view, const DbfFile &file) const
{
    if (m_active.isEmpty())
        return;
    const auto it = m_tags.find(m_active);
    if (it == m_tags.end())
        return;
    const Tag tag = it->second;
    const DbfFile::Field f = file.field(tag.field);
    const char *base = file.record(0);
    const int length = file.recordLength();
    if (f.type == 'N') {
        std::vector<std::pair<qint64, int>> keys;
        keys.reserve(view.size());
        for (int r : view) {
            const auto v = file.numberAt(base + qsizetype(r) * length, tag.field);
            keys.emplace_back(v ? *v : std::numeric_limits<qint64>::min(), r);
        }
        std::stable_sort(keys.begin(), keys.end(), [&](const auto &a, const auto &b) {
            return tag.descending ? a.first > b.first : a.first < b.first;
        });
        for (size_t i = 0; i < keys.size(); ++i)
            view[i] = keys[i].second;
        return;
    }
    // Character keys order by their stored bytes, as a dBase index does. The first eight
    // bytes are gathered once into a number that orders as they do; only rows that tie on
    // them compare the rest of the field in the records.
    struct Key {
        quint64 prefix;
        int record;
    };
    const int width = f.width;
    const int prefixBytes = std::min(width, 8);
    std::vector<Key> keys;
    keys.reserve(view.size());
    for (int r : view) {
        const auto *bytes = reinterpret_cast<const unsigned char *>(base + qsizetype(r) * length + f.offset);
        quint64 prefix = 0;
        for (int i = 0; i < 8; ++i)
            prefix = (prefix << 8) | (i < prefixBytes ? bytes[i] : 0u);
        keys.push_back(Key{prefix, r});
    }
    const auto rest = [&](const Key &a, const Key &b) {
        if (width <= 8)
            return 0;
        return std::memcmp(base + qsizetype(a.record) * length + f.offset + 8,
                           base + qsizetype(b.record) * length + f.offset + 8, size_t(width - 8));
    };
    std::stable_sort(keys.begin(), keys.end(), [&](const Key &a, const Key &b) {
        if (a.prefix != b.prefix)
            return tag.descending ? a.prefix > b.prefix : a.prefix < b.prefix;
        const int c = rest(a, b);
        return tag.descending ? c > 0 : c < 0;
    });
    for (size_t i = 0; i < keys.size(); ++i)
        view[i] = keys[i].record;
}

} // namespace kve
