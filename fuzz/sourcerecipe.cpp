#include "sourcerecipe.h"

#include "export/cli/reportcommand.h"
#include "xbasewriter.h"

#include <QBuffer>

#include <QStringList>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fuzzsource {

void fail(const char *what, const QString &detail)
{
    std::fprintf(stderr, "fuzz: %s\n%s\n", what, detail.toLocal8Bit().constData());
    std::fflush(stderr);
    std::abort();
}

bool showing()
{
    static const bool show = qEnvironmentVariableIsSet("FUZZ_SOURCE_SHOW");
    return show;
}

Run runReportCommand(const QStringList &arguments)
{
    QBuffer out;
    QBuffer err;
    out.open(QIODevice::WriteOnly);
    err.open(QIODevice::WriteOnly);
    Run run;
    try {
        run.code = cli::run(arguments, out, err);
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
    return run;
}

Places makePlaces(const QByteArray &root)
{
    Places places;
    places.root = root;
    places.base = root + "/w";
    places.data = places.base + "/d";
    places.aside = places.base + "/aside";
    places.out = places.base + "/out";
    for (const QByteArray &folder : {places.base, places.data, places.aside, places.out}) {
        if (::mkdir(folder.constData(), 0755) != 0)
            fail("cannot make a folder", QString::fromLocal8Bit(folder));
    }
    return places;
}

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
    "a_table_name_of_more_than_forty_characters_xx", "ps\xe2\x80\xa9utf8", "tab\tname", "bell\x07", "end\n",
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
    // What the header announces: as its fields imply, a structural index
    // (whether or not one is there), a memo file too, or any byte.
    const quint8 flags[] = {0xFF, 0x01, 0x03, 0x02};
    const quint8 announced = recipe.byte();
    layout.tableFlags = announced < 0xF0 ? flags[announced % 4] : recipe.byte();
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


Snapshot snapshot(const std::filesystem::path &root)
{
    Snapshot files;
    std::error_code error;
    std::filesystem::recursive_directory_iterator it(root, error);
    for (; !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        const std::filesystem::path &path = it->path();
        const std::filesystem::file_status status = std::filesystem::symlink_status(path, error);
        if (error)
            break;
        std::string &entry = files[path.lexically_relative(root).native()];
        if (std::filesystem::is_symlink(status)) {
            entry = "link " + std::filesystem::read_symlink(path, error).native();
        } else if (std::filesystem::is_directory(status)) {
            entry = "folder";
        } else if (std::filesystem::is_regular_file(status)) {
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

} // namespace fuzzsource
