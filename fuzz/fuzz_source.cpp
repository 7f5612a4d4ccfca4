// A whole data source built from a recipe in a temporary folder, then listed
// and reported through orvalle-report's own command: once as a folder of free
// tables, once as a second source (the recipe's container, or whatever file
// the recipe names). Whatever the files hold, every run keeps these:
//  - the command ends with 0 or 1 and throws nothing;
//  - no file under the temporary folder changes, appears or goes, except the
//    report file asked for (or where its symbolic link leads), and that one
//    only when it is not certainly one of the source's own files: a table of
//    the folder, a table's memo, index or backup, the container given;
//  - the report file is as it was or a complete report: its head, the
//    contents list numbered from 1 with the listed names in order, one block
//    per listed table in the same order, each closed by two empty lines and
//    the report by one more; inside a block every field line starts with a
//    space, except the line the layout gives a field name of 25 characters or
//    more (that name followed by the type code), checked against the field;
//    no control character anywhere but the CR LF line ends; exit status 0
//    always leaves one;
//  - standard error holds whole lines "orvalle-report: ..." without a control
//    character: none after exit status 0, at least one after 1;
//  - --list prints the names the report lists, one a line;
//  - the report written to standard output is the one written to a file.
//
// The recipe, read a byte at a time (a recipe that ends early reads as zeros):
//   options   bit 0 a container; bits 1-2 how the folder is spelled; bits 3-5
//             the report file (mod 6); bits 6-7 the second source
//   entries   count (mod 9), then each: kind (mod 6: table, raw bytes, folder,
//             symbolic link, hard link, memo file), place (mod 4: the folder
//             twice, its sub-folder, a folder beside it), name, then the kind's
//             own bytes (see makeEntry)
//   container when bit 0 (see makeContainer)
//   then the name of the report file and of the second source when they need one.
// Names, paths and texts are picked from lists below or spelled byte by byte
// (a byte from 0xF0 on, or 0xE0 for path parts, types, versions and code pages).

#include "platform/dataaccess.h"
#include "platform/failure.h"
#include "export/reportcommand.h"
#include "export/reportfile.h"
#include "export/tablelist.h"
#include "xbasewriter.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace exporting;

namespace fs = std::filesystem;

namespace {

[[noreturn]] void fail(const char *what, const QString &detail = QString())
{
    std::fprintf(stderr, "fuzz_source: %s\n%s\n", what, detail.toLocal8Bit().constData());
    std::fflush(stderr);
    std::abort();
}

// ---------------------------------------------------------------- the recipe

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

template <size_t N> QByteArray pick(const char *const (&list)[N], quint8 b)
{
    return QByteArray(list[b % N]);
}

// File names: case twins, names that are not UTF-8, names with line breaks,
// hidden ones, companions, the container's files.
const char *const fileNames[] = {
    "t.dbf", "T.DBF", "t.DBF", "orders.dbf", "ORDERS.dbf", "db.dbc", "DB.DBC", "db.dct", "DB.DCT", "db.dcx",
    "gone.dbc", "t.fpt", "T.FPT", "t.cdx", "orders.fpt", "notes.txt", ".hidden.dbf", ".dbf", "dbf", "x.dbf.dbf",
    "a b;c.dbf", "foxuser.dbf", "FoxUser.dbf", "caf\xe9.dbf", "CAF\xc9.DBF", "caf\xc3\xa9.dbf", "CAF\xc3\x89.DBF",
    "\xff\xfe.dbf", "\xfe\xff.dbf", "\xc3.dbf", "sub", "aside", "t", "t (2).dbf", "line\nbreak.dbf", "tab\t.dbf",
    "\r.dbf", "u\xf0\x9f\x98\x80.dbf", "db.dbc.dbf", "1) forged.dbf",
};
const char *const extensions[] = {"", ".dbf", ".DBF", ".Dbf", ".dbc", ".dct", ".fpt", ".cdx"};
const char *const containerNames[] = {"db.dbc", "DB.DBC", "Db.Dbc", "gone.dbc", "t.dbc", "caf\xc3\xa9.dbc"};

// Field names as a table header stores them (the last fits a dBase 7 header only).
const char *const headerFieldNames[] = {
    "ID", "NAME", "Name", "name", "_NullFlags", "", "A B", "X\r\nY", "\xe9T\xe9", "CUSTOMERIDX", "1) FORGED",
    "VERY_LONG_DBASE7_FIELD_NAME_ABC",
};
const char typeLetters[] = "CNFLDMGBIYTVQWP0@+OX";
const quint8 versions[] = {0x30, 0x31, 0x32, 0x03, 0x83, 0x8B, 0xF5, 0x04, 0x8C, 0x02, 0xFB, 0x43};
const quint8 codePages[] = {0x03, 0x00, 0x01, 0x02, 0x65, 0xC9, 0xF0, 0x7B, 0x7A, 0x68, 0x69, 0x57, 0x1B, 0x7F, 0xC8, 0x64};

// Texts of a container: names, long field names, comments, view data types.
const char *const tableNames[] = {
    "t", "T", "orders", "Orders", "customers", "foxuser", "FOXUSER", "", "a b;c", "1) forged",
    "Table Name : forged", " Printing From forged", "line\r\nbreak", "caf\xe9", "sub", "..",
    "a_table_name_of_more_than_forty_characters_xx", "ps\xe2\x80\xa9utf8",
};
const char *const longFieldNames[] = {
    "id", "name", "Name", "customer_identification_number", "1) forged contents entry of length",
    "table name : forged    total fields : 1", "x\r\ny", "", "ID", "a\205b", "\t", "caf\xe9_is_a_long_field_name_here",
    "nel\xc2\x85_is_a_long_field_name_here",
};
const char *const comments[] = {
    "", "Plain comment", "two\r\nlines", "lone\rCR", "lf\nonly", "nel\x85here", "ff\x0cvt\x0b", "\r\n",
    "Table Name : forged", "1) forged", " Printing From forged", "trailing\r\n", "\r\n\r\nlead", "\xe9t\xe9",
    "A comment long enough to run past every column of the report and then some more, "
    "so that the line is long; it goes on and on and on without a break for quite a while, "
    "then it ends.",
    "nel\xc2\x85utf8", "ls\xe2\x80\xa8utf8",
};
const char *const dataTypes[] = {"C(40)", "N(10,2)", "I", "M", "C(", "N(99999999999,2)", "X(5)", "",
                                 "C(-1)", "V(254)", "Q(10)", "T", "B(2)"};

QByteArray sanitizedName(QByteArray name)
{
    for (char &c : name) {
        if (c == '/' || c == '\0')
            c = '_';
    }
    if (name.isEmpty() || name == "." || name == "..")
        name.prepend('x');
    return name;
}

QByteArray fileName(Recipe &recipe)
{
    const quint8 b = recipe.byte();
    if (b < 0xF0)
        return pick(fileNames, b);
    QByteArray name = recipe.bytes(recipe.below(13));
    name += pick(extensions, recipe.byte());
    return sanitizedName(name);
}

QByteArray flipCase(QByteArray name)
{
    for (char &c : name) {
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
        else if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    return name;
}

template <size_t N> QByteArray text(Recipe &recipe, const char *const (&list)[N], int maxLength)
{
    const quint8 b = recipe.byte();
    if (b < 0xF0)
        return pick(list, b);
    return recipe.bytes(recipe.below(maxLength + 1));
}

// ---------------------------------------------------------------- the folders

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

bool exists(const QByteArray &path)
{
    struct stat status;
    return ::lstat(path.constData(), &status) == 0;
}

bool isRegular(const QByteArray &path)
{
    struct stat status;
    return ::lstat(path.constData(), &status) == 0 && S_ISREG(status.st_mode);
}

// Creates a new regular file; an entry whose name is taken is left out.
void writeNew(const QByteArray &path, const QByteArray &bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written <= 0)
            fail("cannot write a recipe file", QString::fromLocal8Bit(path));
        done += written;
    }
    ::close(fd);
}

QByteArray placeFolder(Recipe &recipe, const Places &places)
{
    switch (recipe.below(4)) {
    case 2: {
        const QByteArray sub = places.data + "/sub";
        if (!exists(sub))
            ::mkdir(sub.constData(), 0755);
        return sub;
    }
    case 3:
        return places.aside;
    default:
        return places.data;
    }
}

// A path as a backlink or a Path property spells it: relative or absolute,
// "/" or "\" between parts, "..", ".", folder and file names, case flipped.
QByteArray pathText(Recipe &recipe, const Places &places)
{
    const quint8 k = recipe.byte();
    if (k == 0)
        return {};
    const int parts = 1 + (k & 3) % 3;
    const char separator = (k & 0x08) ? '\\' : '/';
    QByteArray path;
    int maxUps = 2;
    if (k & 0x04) {
        path = places.data + '/';
    } else if (k & 0x40) {
        path = places.base + '/';
        maxUps = 1;
    }
    if (k & 0x20)
        path += QByteArray(".") + separator;
    int ups = 0;
    constexpr int named = int(std::size(fileNames));
    for (int i = 0; i < parts; ++i) {
        const quint8 b = recipe.byte();
        QByteArray part;
        if (b >= 0xE0) {
            part = recipe.bytes(recipe.below(9));
            for (char &c : part) {
                if (c == '/' || c == '\\' || c == '\0')
                    c = '_';
            }
            if (part.isEmpty())
                part = "_";
        } else {
            const int choice = b % (5 + 2 * named);
            const char *const special[] = {"..", ".", "sub", "aside", "d"};
            part = choice < 5 ? QByteArray(special[choice])
                 : choice < 5 + named ? QByteArray(fileNames[choice - 5])
                                      : flipCase(fileNames[choice - 5 - named]);
        }
        if (part == ".." && ++ups > maxUps)
            part = ".";
        if (i > 0)
            path += separator;
        path += part;
    }
    if (k & 0x10)
        path += separator;
    return path;
}

void damage(Recipe &recipe, QByteArray &bytes)
{
    switch (recipe.below(6)) {
    case 1:
        bytes.truncate(recipe.le16() % (bytes.size() + 1));
        break;
    case 2:
        for (int n = 1 + recipe.below(4); n > 0; --n) {
            const quint16 at = recipe.le16();
            const char value = char(recipe.byte());
            if (!bytes.isEmpty())
                bytes[at % bytes.size()] = value;
        }
        break;
    case 3: // the header length
        if (bytes.size() >= 10) {
            bytes[8] = char(recipe.byte());
            bytes[9] = char(recipe.byte());
        }
        break;
    case 4: // the record count
        if (bytes.size() >= 8) {
            for (int i = 4; i < 8; ++i)
                bytes[i] = char(recipe.byte());
        }
        break;
    case 5:
        bytes.append(recipe.bytes(recipe.below(64)));
        break;
    default:
        break;
    }
}

quint8 fromList(Recipe &recipe, const quint8 *list, int count)
{
    const quint8 b = recipe.byte();
    return b < 0xE0 ? list[b % count] : recipe.byte();
}

QByteArray tableFile(Recipe &recipe, const Places &places)
{
    xbasewriter::TableSpec layout;
    layout.version = fromList(recipe, versions, int(std::size(versions)));
    layout.codePage = fromList(recipe, codePages, int(std::size(codePages)));
    for (int n = recipe.below(13); n > 0; --n) {
        xbasewriter::FieldSpec field;
        const quint8 b = recipe.byte();
        field.name = b < 0xF0 ? pick(headerFieldNames, b) : recipe.bytes(recipe.below(32));
        const quint8 t = recipe.byte();
        field.type = t < 0xE0 ? typeLetters[t % (sizeof typeLetters - 1)] : char(recipe.byte());
        field.width = recipe.byte();
        field.decimals = recipe.byte() % 4;
        field.flags = recipe.byte();
        layout.fields.append(field);
    }
    layout.recordCount = quint32(recipe.below(4));
    layout.backlink = pathText(recipe, places);
    QByteArray bytes = xbasewriter::tableBytes(layout);
    damage(recipe, bytes);
    return bytes;
}

QByteArray memoFile(Recipe &recipe)
{
    QByteArray bytes(512, '\0');
    const quint8 next = recipe.byte();
    bytes[3] = char(next);
    const quint16 blockSizes[] = {64, 1, 512, 0};
    const quint8 choice = recipe.byte();
    const quint16 blockSize = choice < 0xE0 ? blockSizes[choice % 4] : recipe.le16();
    bytes[6] = char(blockSize >> 8);
    bytes[7] = char(blockSize & 0xFF);
    bytes.append(recipe.bytes(recipe.below(200)));
    return bytes;
}

void makeEntry(Recipe &recipe, const Places &places)
{
    const int kind = recipe.below(6);
    const QByteArray folder = placeFolder(recipe, places);
    const QByteArray path = folder + '/' + fileName(recipe);
    switch (kind) {
    case 0:
        writeNew(path, tableFile(recipe, places));
        break;
    case 1:
        writeNew(path, recipe.bytes(recipe.byte()));
        break;
    case 2:
        if (!exists(path))
            ::mkdir(path.constData(), 0755);
        break;
    case 3: {
        QByteArray target;
        switch (recipe.below(6)) {
        case 0: target = fileName(recipe); break;                      // beside it
        case 1: target = places.data + '/' + fileName(recipe); break;  // absolute
        case 2: target = places.aside; break;                          // a folder
        case 3: target = path; break;                                  // itself: a loop
        case 4: target = "nowhere/x"; break;                           // dangling
        default: target = places.data; break;                          // the source folder
        }
        if (!exists(path))
            ::symlink(target.constData(), path.constData());
        break;
    }
    case 4: {
        const QByteArray other = folder + '/' + fileName(recipe);
        if (isRegular(other) && !exists(path))
            ::link(other.constData(), path.constData());
        break;
    }
    default:
        writeNew(path, memoFile(recipe));
        break;
    }
}

// A text the container writer encodes in the container's code page, read so
// that it writes the recipe's bytes back (nearly always: the writer's
// single-byte code pages are not all Latin-1).
QString asStored(quint8 codePage, const QByteArray &bytes)
{
    return codePage == 0xF0 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

// The container: name, place, memo (beside it, the other case of its
// extension, missing, a folder, raw bytes), code page, memo block size, then
// tables (name, Path, comment, flags: deleted, raw property bytes; fields:
// name, comment, flags), views (name; fields: name, comment, data type),
// records made to share another record's property memo, and damage to both
// files. Returns the container's path, empty when none was written.
QByteArray makeContainer(Recipe &recipe, const Places &places)
{
    const quint8 b = recipe.byte();
    const QByteArray name = b < 0xF0 ? pick(containerNames, b)
                                     : sanitizedName(recipe.bytes(recipe.below(9)) + ".dbc");
    const QByteArray folder = placeFolder(recipe, places);
    const int memoMode = recipe.below(5);

    xbasewriter::ContainerSpec layout;
    layout.codePage = fromList(recipe, codePages, int(std::size(codePages)));
    const int blockSizes[] = {64, 1, 2, 7, 512, 100};
    layout.blockSize = blockSizes[recipe.below(6)];
    for (int n = recipe.below(6); n > 0; --n) {
        xbasewriter::ContainerTable table;
        table.name = asStored(layout.codePage, text(recipe, tableNames, 40));
        const QByteArray path = pathText(recipe, places);
        const QByteArray comment = text(recipe, comments, 48);
        const quint8 flags = recipe.byte();
        table.deleted = flags & 1;
        table.properties = xbasewriter::rawPropertyEntry(2, QByteArray(1, '\x01'));
        if (!path.isEmpty())
            table.properties += xbasewriter::propertyEntry(1, path);
        if (!comment.isEmpty())
            table.properties += xbasewriter::propertyEntry(7, comment);
        if (flags & 2)
            table.properties += recipe.bytes(recipe.below(48));
        for (int f = recipe.below(7); f > 0; --f) {
            xbasewriter::ContainerField field;
            field.name = asStored(layout.codePage, text(recipe, longFieldNames, 48));
            const QByteArray fieldComment = text(recipe, comments, 48);
            const quint8 fieldFlags = recipe.byte();
            field.deleted = fieldFlags & 1;
            if (!fieldComment.isEmpty())
                field.properties = xbasewriter::propertyEntry(7, fieldComment);
            if (fieldFlags & 2)
                field.properties += recipe.bytes(recipe.below(48));
            table.fields.append(field);
        }
        layout.tables.append(table);
    }
    for (int n = recipe.below(3); n > 0; --n) {
        xbasewriter::ContainerView view;
        view.name = asStored(layout.codePage, text(recipe, tableNames, 40));
        for (int f = recipe.below(5); f > 0; --f) {
            xbasewriter::ContainerField field;
            field.name = asStored(layout.codePage, text(recipe, longFieldNames, 48));
            field.comment = asStored(layout.codePage, text(recipe, comments, 48));
            field.dataType = asStored(layout.codePage, text(recipe, dataTypes, 16));
            view.fields.append(field);
        }
        layout.views.append(view);
    }
    xbasewriter::ContainerFiles files = xbasewriter::containerBytes(layout);

    // Record a points at record b's property memo.
    const int headerLength = uchar(files.dbc[8]) | uchar(files.dbc[9]) << 8;
    constexpr int recordLength = 165;
    const int records = int((files.dbc.size() - 1 - headerLength) / recordLength);
    for (int n = recipe.below(8); n > 0; --n) {
        const int a = recipe.byte() % records;
        const int from = recipe.byte() % records;
        for (int i = 0; i < 4; ++i)
            files.dbc[headerLength + a * recordLength + 147 + i] = files.dbc[headerLength + from * recordLength + 147 + i];
    }
    damage(recipe, files.dbc);
    damage(recipe, files.dct);

    const QByteArray dbcPath = folder + '/' + name;
    if (exists(dbcPath))
        return {};
    writeNew(dbcPath, files.dbc);
    const QByteArray extension = name.right(3);
    const bool upper = extension == extension.toUpper();
    const QByteArray memoPath = folder + '/' + name.chopped(3) + ((upper != (memoMode == 1)) ? "DCT" : "dct");
    switch (memoMode) {
    case 2:
        break;
    case 3:
        ::mkdir(memoPath.constData(), 0755);
        break;
    case 4:
        writeNew(memoPath, recipe.bytes(recipe.byte()));
        break;
    default:
        writeNew(memoPath, files.dct);
        break;
    }
    return dbcPath;
}

// ---------------------------------------------------------------- the checks

// Every file, folder and link under the temporary folder: regular files by
// their bytes, links by their target.
using Snapshot = std::map<std::string, std::string>;

Snapshot snapshot(const fs::path &root)
{
    Snapshot files;
    std::error_code error;
    fs::recursive_directory_iterator it(root, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const fs::path &path = it->path();
        const fs::file_status status = fs::symlink_status(path, error);
        if (error)
            break;
        std::string &entry = files[path.lexically_relative(root).native()];
        if (fs::is_symlink(status)) {
            entry = "link " + fs::read_symlink(path, error).native();
        } else if (fs::is_directory(status)) {
            entry = "folder";
        } else if (fs::is_regular_file(status)) {
            std::ifstream file(path, std::ios::binary);
            entry = "file " + std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        } else {
            entry = "other";
        }
    }
    if (error)
        fail("cannot list the temporary folder", QString::fromStdString(error.message()));
    return files;
}

// The keys that differ between two snapshots.
std::set<std::string> changes(const Snapshot &before, const Snapshot &after)
{
    std::set<std::string> changed;
    for (const auto &[key, value] : before) {
        const auto found = after.find(key);
        if (found == after.end() || found->second != value)
            changed.insert(key);
    }
    for (const auto &[key, value] : after) {
        if (!before.count(key))
            changed.insert(key);
    }
    return changed;
}

QString shown(const std::string &key)
{
    return QString::fromLocal8Bit(QByteArray::fromStdString(key).toPercentEncoding("/ ._-"));
}

std::optional<std::pair<quint64, quint64>> identity(const QByteArray &path)
{
    struct stat status;
    if (::stat(path.constData(), &status) != 0)
        return std::nullopt;
    return std::make_pair(quint64(status.st_dev), quint64(status.st_ino));
}

// The files certainly the folder's own: its tables (the regular *.dbf files)
// and, sharing a table's name, its memo, indexes and backups.
std::set<std::pair<quint64, quint64>> folderFiles(const QByteArray &folder)
{
    const auto baseOf = [](const QString &name) {
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        return dot <= 0 ? name : name.first(dot);
    };
    const auto extensionOf = [](const QString &name) {
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        return dot <= 0 ? QString() : name.sliced(dot + 1).toLower();
    };
    static const QStringList companions{"fpt", "dbt", "cdx", "mdx", "idx", "ndx", "ntx", "bak", "tbk"};
    struct Entry {
        QByteArray path;
        QString text;
    };
    QList<Entry> regular;
    std::error_code error;
    for (fs::directory_iterator it(folder.toStdString(), error); !error && it != fs::directory_iterator();
         it.increment(error)) {
        const QByteArray name = QByteArray::fromStdString(it->path().filename().native());
        const QByteArray path = folder + '/' + name;
        struct stat status;
        if (::stat(path.constData(), &status) == 0 && S_ISREG(status.st_mode))
            regular.append({path, QFile::decodeName(name)});
    }
    const auto isTable = [&](const QString &text) {
        return text.size() > 4 && extensionOf(text) == QLatin1String("dbf");
    };
    QStringList tableBases;
    for (const Entry &entry : std::as_const(regular)) {
        if (isTable(entry.text))
            tableBases.append(baseOf(entry.text));
    }
    std::set<std::pair<quint64, quint64>> files;
    for (const Entry &entry : std::as_const(regular)) {
        const QString base = baseOf(entry.text);
        const bool companion = companions.contains(extensionOf(entry.text))
                               && std::any_of(tableBases.cbegin(), tableBases.cend(), [&](const QString &table) {
                                      return table.compare(base, Qt::CaseInsensitive) == 0;
                                  });
        if (isTable(entry.text) || companion) {
            if (const auto id = identity(entry.path))
                files.insert(*id);
        }
    }
    return files;
}

bool isControl(QChar character)
{
    const char16_t c = character.unicode();
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

QString decodeUtf8(const QByteArray &bytes, const char *what)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        fail(what, QString::fromLatin1(bytes.toHex(' ')));
    return text;
}

struct Run {
    int code = 0;
    QByteArray out;
    QByteArray err;
};

// FUZZ_SOURCE_SHOW=1 prints each command and what it wrote, to look into an input.
bool showing()
{
    static const bool show = qEnvironmentVariableIsSet("FUZZ_SOURCE_SHOW");
    return show;
}

Run runCommand(const QStringList &arguments)
{
    QBuffer out;
    QBuffer err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    Run run;
    try {
        run.code = exporting::run(arguments, out, err);
    } catch (const std::exception &failure) {
        fail("orvalle-report threw", arguments.join(QLatin1Char(' ')) + QStringLiteral(": ")
                                         + QString::fromLocal8Bit(failure.what()));
    } catch (...) {
        fail("orvalle-report threw something that is no exception", arguments.join(QLatin1Char(' ')));
    }
    run.out = out.data();
    run.err = err.data();
    if (showing())
        std::fprintf(stderr, "$ %s\n%s%s-> %d\n", arguments.join(QLatin1Char(' ')).toLocal8Bit().constData(),
                     run.out.constData(), run.err.constData(), run.code);
    if (run.code != 0 && run.code != 1)
        fail("orvalle-report ended with neither 0 nor 1",
             arguments.join(QLatin1Char(' ')) + QStringLiteral(" -> %1").arg(run.code));
    return run;
}

// Whole lines "orvalle-report: ..." without a control character; none after
// 0, at least one after 1.
void checkErrors(const Run &run, const QString &what)
{
    if (run.code == 0 && !run.err.isEmpty())
        fail("a failure line after exit status 0", what + QLatin1Char('\n') + QString::fromUtf8(run.err));
    if (run.code == 1 && run.err.isEmpty())
        fail("exit status 1 and no failure line", what);
    if (run.err.isEmpty())
        return;
    if (!run.err.endsWith('\n'))
        fail("standard error does not end with a whole line", what + QLatin1Char('\n') + QString::fromUtf8(run.err));
    const QString text = decodeUtf8(run.err, "standard error is not UTF-8");
    const QStringList lines = text.chopped(1).split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        if (!line.startsWith(QLatin1String("orvalle-report: ")))
            fail("a line on standard error does not name the program", what + QLatin1Char('\n') + line);
        if (std::any_of(line.cbegin(), line.cend(), isControl))
            fail("a control character inside a failure line", what + QLatin1Char('\n') + line);
    }
}

const QString columnHeads = QStringLiteral("Field Name                DataType     Description");
const QString underline = QStringLiteral("__________                ________     ___________");

// The layout of a complete report of the tables `names` from `source`.
class ReportCheck {
public:
    ReportCheck(QString source, QString connectionString, QStringList names)
        : m_source(std::move(source)), m_connectionString(std::move(connectionString)), m_names(std::move(names))
    {
    }

    void check(const QByteArray &bytes, const QString &what)
    {
        m_what = what;
        m_bytes = bytes;
        // The report's last block ends with two empty lines, then one more.
        if (!bytes.endsWith("\r\n\r\n\r\n\r\n") || bytes.endsWith("\n\r\n\r\n\r\n\r\n"))
            problem("the report does not end with its last block's two empty lines and one more");
        const QString text = decodeUtf8(bytes, "the report is not UTF-8");
        QStringList lines = text.split(QStringLiteral("\r\n"));
        lines.removeLast();
        for (const QString &line : std::as_const(lines)) {
            if (std::any_of(line.cbegin(), line.cend(), isControl))
                problem("a control character inside a line: " + line);
        }
        m_lines = lines;
        m_at = 0;

        expect(QStringLiteral(" Printing From ") + reportText(m_source));
        expect(QString());
        expect(QStringLiteral("Printing Table Structures:"));
        for (qsizetype i = 0; i < m_names.size(); ++i)
            expect(QString::number(i + 1) + QStringLiteral(") ") + reportText(m_names[i]));
        expect(QString());
        expect(QString());
        for (qsizetype i = 0; i < m_names.size(); ++i)
            block(i);
        expect(QString());
        if (m_at != m_lines.size())
            problem("lines after the report's end: " + m_lines[m_at]);
    }

private:
    [[noreturn]] void problem(const QString &what)
    {
        fail("the report is not complete and well formed",
             m_what + QLatin1Char('\n') + what + QStringLiteral("\n---\n") + QString::fromUtf8(m_bytes));
    }

    QString next()
    {
        if (m_at >= m_lines.size())
            problem(QStringLiteral("the report ends early"));
        return m_lines[m_at++];
    }

    void expect(const QString &line)
    {
        const QString found = next();
        if (found != line)
            problem(QStringLiteral("line %1 is \"%2\", not \"%3\"").arg(m_at).arg(found, line));
    }

    void block(qsizetype index)
    {
        const QString head = QStringLiteral("Table Name : ") + reportText(m_names[index])
                             + QStringLiteral("    Total Fields : ");
        const QString line = next();
        bool number = false;
        const int fields = line.startsWith(head) ? line.mid(head.size()).toInt(&number) : -1;
        if (!number || fields < 0 || line.mid(head.size()) != QString::number(fields))
            problem(QStringLiteral("line %1 is \"%2\", not the head of the block of \"%3\"")
                        .arg(m_at).arg(line, m_names[index]));
        expect(QString());
        expect(columnHeads);
        expect(underline);
        int lines = 0;
        for (QString field = next(); !field.isEmpty(); field = next()) {
            ++lines;
            if (!field.startsWith(QLatin1Char(' ')))
                longName(index, field);
        }
        if (fields == 0 && lines > 0)
            problem(QStringLiteral("field lines in the block of \"%1\", which has no fields").arg(m_names[index]));
        expect(QString());
    }

    // A line starting with text of its own: only a field whose name has 25
    // characters or more, written as that name and its type code.
    void longName(qsizetype index, const QString &line)
    {
        QList<platform::Field> fields;
        try {
            const auto connection = platform::factory().createConnection();
            connection->Open(m_connectionString);
            const auto records = platform::factory().createRecordset();
            records->Open(QStringLiteral("select * from [") + m_names[index] + QLatin1Char(']'), *connection);
            for (int i = 0; i < records->fieldCount(); ++i)
                fields.append(records->field(i));
        } catch (const Failure &failure) {
            problem(QStringLiteral("\"%1\" starts with text, and the fields of \"%2\" cannot be read: %3")
                        .arg(line, m_names[index], failure.description()));
        }
        for (const platform::Field &field : std::as_const(fields)) {
            if (field.name.size() >= 25 && line == reportText(field.name + QString::number(field.type)))
                return;
        }
        problem(QStringLiteral("\"%1\" starts a line with text and is no field of \"%2\"").arg(line, m_names[index]));
    }

    QString m_source;
    QString m_connectionString;
    QStringList m_names;
    QString m_what;
    QByteArray m_bytes;
    QStringList m_lines;
    qsizetype m_at = 0;
};

// What a path names, links followed, as the report file reads.
std::optional<QByteArray> contentOf(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

// Where the report file asked for ends up: the name, or where its links
// lead, each in its folder as the system resolves it (a folder on the way
// may be a link).
std::set<std::string> reportPlaces(const QByteArray &target, const fs::path &root)
{
    std::error_code error;
    const fs::path realRoot = fs::canonical(root, error);
    const auto keyOf = [&](const fs::path &path) {
        std::error_code ignored;
        return (fs::weakly_canonical(path.parent_path(), ignored) / path.filename()).lexically_relative(realRoot).native();
    };
    std::set<std::string> keys;
    fs::path path = target.toStdString();
    keys.insert(keyOf(path));
    for (int hop = 0; hop < 128 && fs::is_symlink(fs::symlink_status(path, error)); ++hop) {
        const fs::path link = fs::read_symlink(path, error);
        if (error)
            break;
        path = link.is_absolute() ? link : path.parent_path() / link;
        keys.insert(keyOf(path));
    }
    return keys;
}

// One source through --list, the report to standard output and the report
// into `target`.
void exercise(const QString &source, bool folder, const QByteArray &target, const fs::path &root,
              const std::set<std::pair<quint64, quint64>> &ownFiles)
{
    const QString connectionString = QStringLiteral("Provider=vfpoledb.1;Data Source=") + source
                                     + (folder ? QStringLiteral(";Collating Sequence=general;")
                                               : QStringLiteral(";Collating Sequence=machine;"));
    // The names the command lists and reports, read through the same routine.
    std::optional<QStringList> names;
    try {
        QStringList read;
        exporting::readTableList(connectionString, [&] { read.clear(); },
                               [&](const QString &name) { read.append(name); });
        names = read;
    } catch (const Failure &) {
    }
    const bool reportable = names && !names->isEmpty();
    ReportCheck report(source, connectionString, names.value_or(QStringList()));
    const Snapshot before = snapshot(root);
    const auto unchanged = [&](const QString &what) {
        const std::set<std::string> changed = changes(before, snapshot(root));
        if (!changed.empty())
            fail("a file of the temporary folder changed", what + QStringLiteral(": ") + shown(*changed.begin()));
    };

    const QString list = QStringLiteral("orvalle-report ") + source + QStringLiteral(" --list");
    const Run listed = runCommand({QStringLiteral("orvalle-report"), source, QStringLiteral("--list")});
    checkErrors(listed, list);
    unchanged(list);
    if (listed.code != (names ? 0 : 1))
        fail("--list and the table list disagree", list);
    if (names) {
        QByteArray expected;
        for (const QString &name : std::as_const(*names))
            expected += reportText(name).trimmed().toUtf8() + '\n';
        if (listed.out != expected)
            fail("--list does not print the listed names, one a line", list + QLatin1Char('\n') + QString::fromUtf8(listed.out));
    } else if (!listed.out.isEmpty()) {
        fail("--list printed names of a source it cannot read", list);
    }

    const QString toOutput = QStringLiteral("orvalle-report ") + source;
    const Run printed = runCommand({QStringLiteral("orvalle-report"), source});
    checkErrors(printed, toOutput);
    unchanged(toOutput);
    if (!printed.out.isEmpty()) {
        if (!reportable)
            fail("a report of a source without tables", toOutput);
        report.check(printed.out, toOutput);
    } else if (printed.code == 0) {
        fail("exit status 0 and no report on standard output", toOutput);
    }

    const QString targetText = QFile::decodeName(target);
    const QByteArray targetPath = QFile::encodeName(targetText);
    const QString toFile = toOutput + QStringLiteral(" -o ") + targetText;
    const std::optional<QByteArray> old = contentOf(targetText);
    const std::optional<std::pair<quint64, quint64>> targetIdentity = identity(targetPath);
    const bool own = targetIdentity && ownFiles.count(*targetIdentity);
    const std::set<std::string> places = reportPlaces(targetPath, root);
    const Run written = runCommand({QStringLiteral("orvalle-report"), source, QStringLiteral("-o"), targetText});
    checkErrors(written, toFile);
    const Snapshot after = snapshot(root);
    for (const std::string &key : changes(before, after)) {
        if (own || !places.count(key))
            fail(own ? "the report was written over one of the source's own files"
                     : "a file of the temporary folder changed",
                 toFile + QStringLiteral(": ") + shown(key));
    }
    const std::optional<QByteArray> now = contentOf(targetText);
    const bool replaced = now && now != old;
    if (written.code == 0 && !now)
        fail("exit status 0 and no report file", toFile);
    if (own && written.code != 1)
        fail("a report over one of the source's own files did not fail", toFile);
    // A fresh report file goes again, so the folder is as it was for what follows.
    for (const std::string &key : places) {
        if (!before.count(key) && after.count(key)) {
            std::error_code error;
            fs::remove(root / key, error);
        }
    }
    if (replaced || written.code == 0) {
        if (!reportable)
            fail("a report file of a source without tables", toFile);
        report.check(*now, toFile);
        if (!printed.out.isEmpty() && printed.out != *now)
            fail("the report on standard output and the report file differ", toFile);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Recipe recipe(data, size);
    QTemporaryDir temporary;
    if (!temporary.isValid())
        fail("cannot make a temporary folder", temporary.errorString());
    Places places;
    places.root = QFile::encodeName(temporary.path());
    places.base = places.root + "/w";
    places.data = places.base + "/d";
    places.aside = places.base + "/aside";
    places.out = places.base + "/out";
    for (const QByteArray &folder : {places.base, places.data, places.aside, places.out}) {
        if (::mkdir(folder.constData(), 0755) != 0)
            fail("cannot make a folder", QString::fromLocal8Bit(folder));
    }
    writeNew(places.out + "/old.txt", "an older file\r\n");

    const quint8 options = recipe.byte();
    for (int n = recipe.below(9); n > 0; --n)
        makeEntry(recipe, places);
    const QByteArray container = (options & 1) ? makeContainer(recipe, places) : QByteArray();

    QByteArray folder = places.data;
    switch ((options >> 1) & 3) {
    case 1: folder += '/'; break;
    case 2: folder += "/."; break;
    case 3:
        folder = places.base + "/dlink";
        ::symlink(places.data.constData(), folder.constData());
        break;
    default: break;
    }

    QByteArray target;
    switch (((options >> 3) & 7) % 6) {
    case 1: target = places.out + "/old.txt"; break;
    case 2: target = places.out; break;
    case 3: target = places.data + '/' + fileName(recipe); break;
    case 4: target = places.data + '/' + flipCase(fileName(recipe)); break;
    case 5: target = places.data + "/sub/" + fileName(recipe); break;
    default: target = places.out + "/report.txt"; break;
    }

    QByteArray second;
    switch (options >> 6) {
    case 1:
        if (!container.isEmpty()) {
            const qsizetype slash = container.lastIndexOf('/');
            second = container.first(slash + 1) + flipCase(container.mid(slash + 1));
        }
        break;
    case 3:
        second = places.base + "/clink";
        ::symlink((container.isEmpty() ? places.data : container).constData(), second.constData());
        break;
    case 0:
        second = container;
        break;
    default:
        break;
    }
    if (second.isEmpty())
        second = places.data + '/' + fileName(recipe);

    const fs::path root = places.root.toStdString();
    if (showing()) {
        for (const auto &[key, value] : snapshot(root))
            std::fprintf(stderr, "%s: %s\n", shown(key).toLocal8Bit().constData(),
                         value.rfind("file ", 0) == 0 ? "file" : value.c_str());
    }
    exercise(QFile::decodeName(folder), true, target, root, folderFiles(places.data));
    const QString secondSource = QFile::decodeName(second);
    std::set<std::pair<quint64, quint64>> secondOwn;
    if (const auto id = identity(QFile::encodeName(secondSource)))
        secondOwn.insert(*id);
    // A container when orvalle-report takes it for one.
    const QFileInfo secondInfo(secondSource);
    const bool secondIsFolder =
        secondInfo.isDir() || secondInfo.suffix().compare(QLatin1String("dbc"), Qt::CaseInsensitive) != 0;
    exercise(secondSource, secondIsFolder, target, root, secondOwn);

    // Names that are not UTF-8 are removed by their bytes.
    std::error_code error;
    fs::remove_all(root, error);
    if (error || fs::exists(root))
        fail("cannot remove the temporary folder", QString::fromStdString(error.message()));
    return 0;
}
