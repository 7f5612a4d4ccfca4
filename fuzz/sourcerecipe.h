#pragma once

// A whole data source built from a recipe of bytes in a temporary folder, for
// the fuzz targets that run orvalle-report over one: tables of every dialect
// (names with control characters, headers announcing a memo or an index that
// may be missing), memo files, folders, links, and a container.
//
// The recipe, read a byte at a time (a recipe that ends early reads as zeros):
//   entries   count (mod 9), then each: kind (mod 6: table, raw bytes, folder,
//             symbolic link, hard link, memo file), place (mod 4: the folder
//             twice, its sub-folder, a folder beside it), name, then the kind's
//             own bytes (see makeEntry)
//   container (see makeContainer)
// Names, paths and texts are picked from lists or spelled byte by byte (a
// byte from 0xF0 on, or 0xE0 for path parts, types, versions and code pages).

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>

namespace fuzzsource {

// Stops the run, naming what broke; libFuzzer keeps the input.
[[noreturn]] void fail(const char *what, const QString &detail = QString());

class Recipe {
public:
    Recipe(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}

    quint8 byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    int below(int n) { return byte() % n; }
    quint16 le16()
    {
        const quint16 low = byte();
        return quint16(low | byte() << 8);
    }
    QByteArray bytes(int count)
    {
        QByteArray out;
        for (int i = 0; i < count; ++i)
            out.append(char(byte()));
        return out;
    }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_at = 0;
};

// Everything lives two levels below the temporary folder (w/d, w/aside,
// w/d/sub), and a path the recipe spells climbs at most two levels from
// there, so nothing outside the temporary folder is ever named on purpose.
struct Places {
    QByteArray root;  // the temporary folder
    QByteArray base;  // root/w
    QByteArray data;  // the folder of free tables
    QByteArray aside; // a folder beside it
    QByteArray out;   // where fresh report files go
};

// Makes the folders of `places` below `root`.
Places makePlaces(const QByteArray &root);

bool exists(const QByteArray &path);
bool isRegular(const QByteArray &path);
// Creates a new regular file; an entry whose name is taken is left out.
void writeNew(const QByteArray &path, const QByteArray &bytes);
// A file name from the list or spelled by the recipe.
QByteArray fileName(Recipe &recipe);
QByteArray flipCase(QByteArray name);
// One entry of the recipe in its place.
void makeEntry(Recipe &recipe, const Places &places);
// The container; its path, empty when none was written.
QByteArray makeContainer(Recipe &recipe, const Places &places);

// orvalle-report's command run in this process, `arguments` with the
// program's name first: its exit status and what it wrote. Anything it throws
// stops the run. FUZZ_SOURCE_SHOW=1 prints each command and what it wrote,
// to look into an input.
struct Run {
    int code = 0;
    QByteArray out;
    QByteArray err;
};
Run runReportCommand(const QStringList &arguments);
bool showing();

// Every file, folder and link under `root`: regular files by their bytes,
// links by their target.
using Snapshot = std::map<std::string, std::string>;
Snapshot snapshot(const std::filesystem::path &root);
// The keys that differ between two snapshots.
std::set<std::string> changes(const Snapshot &before, const Snapshot &after);

} // namespace fuzzsource
