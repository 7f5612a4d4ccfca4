#include "model/sourcefiles.h"

#include "model/fieldtype.h"
#include "platform/codepage.h"
#include "platform/texthash.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <optional>
#include <type_traits>
#include <vector>

namespace model {

using platform::ContainerObject;
using platform::FileIdentity;
using platform::FileKind;
using platform::FolderEntry;
using platform::LocalPath;
using platform::ReadOnlyFile;
using platform::lowerCase;

namespace {

// Whether two strings share one text (a name handed on from where it was
// listed or described): then they are equal without comparing a character.
bool sharesText(const QString &a, const QString &b)
{
    return a.constData() == b.constData() && a.size() == b.size();
}

// Names and types from the header; long names and comments from the
// container's Field records, matched by position among the visible fields.
// `columns` may hold a table described before: their storage and their
// strings are written over, so a folder of tables alike costs no allocation
// per field.
TableDescription describeTable(const QString &name, const platform::StoredHeader &stored,
                               const ContainerObject *owner, QList<ColumnDescription> columns)
{
    const platform::TableHeader &header = stored.header;
    columns.reserve(stored.fields.size());
    qsizetype count = 0;
    for (const platform::StoredField &field : stored.fields) {
        if (field.isSystem())
            continue;
        if (count == columns.size())
            columns.emplace_back();
        ColumnDescription &column = columns[count];
        const ColumnType type = columnTypeOf(field, header.isVisualFoxPro());
        column.type = type.type;
        column.size = type.size;
        if (owner && count < owner->fields.size()) {
            column.name = lowerCase(owner->fields[count].name);
            column.description = owner->fields[count].comment;
        } else {
            platform::assignLowerCaseText(column.name, field.name, header.codePage);
            column.description = QString();
        }
        ++count;
    }
    columns.resize(count);
    return TableDescription(name, std::move(columns));
}

TableDescription describeView(const QString &name, const ContainerObject &view)
{
    QList<ColumnDescription> columns;
    for (const platform::ContainerField &field : view.fields) {
        const ColumnType type = columnTypeOfDataType(field.dataType);
        columns.append({lowerCase(field.name), type.type, type.size, field.comment});
    }
    return TableDescription(name, std::move(columns));
}

// The files of a folder, listed once, with the ones that belong to a file:
// those that share its name up to the extension (its memo, its indexes, the
// backups FoxPro leaves beside it).
class FolderListing {
public:
    explicit FolderListing(LocalPath folder) : m_folder(std::move(folder)), m_entries(platform::listFolder(m_folder)) {}

    const QList<FolderEntry> &entries() const { return m_entries; }

    // The files of the FoxPro family among those sharing the name (a report
    // named like a table, "orders.txt", is none of them).
    QList<LocalPath> filesSharingTheName(const QString &fileName) const
    {
        if (m_byBase.isEmpty())
            groupByName();
        QList<LocalPath> files;
        for (const qsizetype i : m_byBase.value(lowerCase(baseOf(fileName)))) {
            if (isFoxProFile(m_entries[i].text))
                files.append(m_folder.child(m_entries[i].name));
        }
        return files;
    }

    // Every table of the folder with its own files, and every container there.
    QList<LocalPath> foxProFiles() const
    {
        QList<LocalPath> files;
        for (const FolderEntry &entry : m_entries) {
            if (entry.kind == FileKind::Regular && isFoxProFile(entry.text))
                files.append(m_folder.child(entry.name));
        }
        return files;
    }

private:
    // Only a check of the report's file needs this, so it is made when asked.
    void groupByName() const
    {
        m_byBase.reserve(m_entries.size());
        for (qsizetype i = 0; i < m_entries.size(); ++i) {
            if (m_entries[i].kind == FileKind::Regular)
                m_byBase[lowerCase(baseOf(m_entries[i].text))].append(i);
        }
    }

    LocalPath m_folder;
    QList<FolderEntry> m_entries;
    mutable QHash<QString, QList<qsizetype>> m_byBase; // lower-case name without extension -> entries
};

// The .dbc and the files beside it that share its name (.dct, .dcx).
QList<LocalPath> filesOfContainer(const LocalPath &dbcPath)
{
    try {
        return FolderListing(dbcPath.folder()).filesSharingTheName(dbcPath.fileName());
    } catch (const Failure &) {
        return {dbcPath};
    }
}

// Where the file `relative` (text from a file, "\\" a separator too) would be
// under `base`: its folder found as resolveCaseInsensitive finds it, its own
// name as given. Empty when the folder is not there either.
LocalPath lackingFile(const LocalPath &base, const QString &relative)
{
    QString path = relative;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = path.sliced(slash + 1);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return LocalPath();
    const LocalPath folder = slash < 0 ? base : platform::resolveCaseInsensitive(base, path.first(slash));
    return folder.isEmpty() ? LocalPath() : folder.child(LocalPath::fromText(name).native());
}

// The files among a folder's entries that a link may lead a report to: the
// FoxPro files that are, or may be, symbolic links.
QList<LocalPath> linkedFoxProFiles(const LocalPath &folder, const QList<FolderEntry> &entries)
{
    QList<LocalPath> files;
    for (const FolderEntry &entry : entries) {
        if (entry.maybeLink && entry.kind == FileKind::Regular && isFoxProFile(entry.text))
            files.append(folder.child(entry.name));
    }
    return files;
}

// A name that can only name a file of this folder (a listed name never
// holds a separator; a NUL would cut the name short; on Windows a colon
// names a drive or a stream).
bool isPlainFileName(const QString &name)
{
    const auto special = [](QChar c) { return c == u'/' || c == u'\\' || c == u':' || c == u'\0'; };
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
        && std::none_of(name.cbegin(), name.cend(), special);
}

// A folder's names, for finding a file by name in either case: each entry's
// lower-case name (as UTF-8: any order does, so long as it is one) and its
// name as stored, packed one after another in two blocks, and the entries
// sorted by the lower-case name. A folder may hold tens of thousands of
// files; this keeps a few bytes an entry beyond the names themselves.
class NameLookup {
public:
    bool readable() const { return m_readable; }

    static NameLookup of(const QList<FolderEntry> &entries)
    {
        NameLookup lookup;
        lookup.m_entries.reserve(size_t(entries.size()));
        for (const FolderEntry &entry : entries) {
            const QByteArray lowered = lowerCase(entry.text).toUtf8();
            const qsizetype loweredAt = lookup.m_lowered.size();
            const qsizetype nativeAt = lookup.m_natives.size();
            // Names are short: a block or a name beyond its field's reach
            // leaves the folder to the per-name lookup.
            if (lowered.size() > 0xFFFF || entry.name.size() > 0xFFFF || loweredAt + lowered.size() > 0xFFFFFFFF
                || nativeAt + entry.name.size() > 0xFFFFFFFF)
                return {};
            lookup.m_lowered.append(lowered);
            lookup.m_natives.append(entry.name);
            lookup.m_entries.push_back({quint32(loweredAt), quint32(nativeAt), quint16(lowered.size()),
                                        quint16(entry.name.size())});
        }
        // Stable: the entries of one lower-case name stay in the listing's order.
        std::stable_sort(lookup.m_entries.begin(), lookup.m_entries.end(),
                         [&lookup](const Entry &a, const Entry &b) { return lookup.lowered(a) < lookup.lowered(b); });
        lookup.m_readable = true;
        return lookup;
    }

    // The entry spelt exactly so; else, among names equal but for case, the
    // first spelt so up to its extension (A.DBF's memo is A.FPT, never
    // a.fpt, which is a.dbf's); else the first of its name in any case.
    // None when there is none.
    std::optional<LocalPath::Native> find(const QString &name) const
    {
        const QByteArray wanted = lowerCase(name).toUtf8();
        const auto [first, last] = std::equal_range(m_entries.cbegin(), m_entries.cend(), QByteArrayView(wanted), Before{this});
        if (first == last)
            return std::nullopt;
        auto chosen = first;
        // The spelling matters only among names equal but for case.
        if (last - first > 1) {
            const LocalPath::Native exact = LocalPath::fromText(name).native();
            const NativeView stem = NativeView(exact).first(qMax<qsizetype>(exact.lastIndexOf('.'), 0));
            bool stemFound = false;
            for (auto entry = first; entry != last; ++entry) {
                const NativeView spelt = native(*entry);
                if (spelt == exact)
                    return exact;
                if (!stemFound && !stem.isEmpty() && spelt.size() == exact.size() && spelt.startsWith(stem)) {
                    chosen = entry;
                    stemFound = true;
                }
            }
        }
        LocalPath::Native found;
        found.append(native(*chosen));
        return found;
    }

private:
    struct Entry {
        quint32 loweredAt;
        quint32 nativeAt;
        quint16 loweredSize;
        quint16 nativeSize;
    };
    struct Before {
        const NameLookup *lookup;
        bool operator()(const Entry &entry, QByteArrayView name) const { return lookup->lowered(entry) < name; }
        bool operator()(QByteArrayView name, const Entry &entry) const { return name < lookup->lowered(entry); }
    };

    QByteArrayView lowered(const Entry &entry) const { return QByteArrayView(m_lowered).sliced(entry.loweredAt, entry.loweredSize); }
    using NativeView = std::conditional_t<std::is_same_v<LocalPath::Native, QString>, QStringView, QByteArrayView>;
    NativeView native(const Entry &entry) const { return NativeView(m_natives).sliced(entry.nativeAt, entry.nativeSize); }

    bool m_readable = false;
    QByteArray m_lowered;
    LocalPath::Native m_natives;
    std::vector<Entry> m_entries;
};

} // namespace

QString baseOf(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot <= 0 ? fileName : fileName.first(dot);
}

bool isFoxProFile(const QString &fileName)
{
    static const QStringList extensions{"dbf", "fpt", "dbt", "smt", "cdx", "mdx", "idx", "ndx", "ntx",
                                        "dbc", "dct", "dcx", "bak", "tbk"};
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && extensions.contains(fileName.sliced(dot + 1), Qt::CaseInsensitive);
}

QList<FolderTable> folderTables(const LocalPath &folder, const QList<FolderEntry> &entries)
{
    // Kept small, as a folder may hold tens of thousands of tables: the
    // entry's place, not copies of its names and path.
    struct Table {
        qsizetype entry = 0;
        QString lowered; // the base name in lower case
        bool direct = false;
    };
    // ".dbf" in any case, without a case-blind comparison's cost for each entry.
    const auto dbfExtension = [](const QString &text) {
        const QStringView end = QStringView(text).last(4);
        const auto is = [](QChar c, char16_t lower) { return (c.unicode() | 0x20) == lower; };
        return end[0] == u'.' && is(end[1], u'd') && is(end[2], u'b') && is(end[3], u'f');
    };
    QList<Table> found;
    found.reserve(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const FolderEntry &entry = entries[i];
        if (entry.kind != FileKind::Regular || entry.text.size() <= 4 || !dbfExtension(entry.text))
            continue;
        found.append({i, lowerCase(entry.text.chopped(4)), false});
    }
    // In lower-case order, twins are neighbours; nearly every folder has
    // none, and then that order and those names are the list.
    std::sort(found.begin(), found.end(), [](const Table &a, const Table &b) { return a.lowered < b.lowered; });
    const auto twin = std::adjacent_find(found.cbegin(), found.cend(),
                                         [](const Table &a, const Table &b) { return a.lowered == b.lowered; });
    QList<FolderTable> tables;
    tables.reserve(found.size());
    if (twin == found.cend()) {
        for (Table &table : found)
            tables.append({std::move(table.lowered), folder.child(entries[table.entry].name), false});
        return tables;
    }

    QHash<QString, int> perLowerName;
    for (Table &table : found) {
        const FolderEntry &entry = entries[table.entry];
        ++perLowerName[table.lowered];
        // A file spelt exactly as its name plus ".dbf" is the one that
        // name opens directly, so it gets the name before any twin.
        table.direct = entry.text.endsWith(QLatin1String(".dbf"))
            && LocalPath::fromText(entry.text).native() == entry.name;
    }
    std::stable_sort(found.begin(), found.end(), [&entries](const Table &a, const Table &b) {
        // Every path is the folder's and the entry's name: the names order them.
        return a.direct != b.direct ? a.direct : entries[a.entry].name < entries[b.entry].name;
    });
    QSet<QString> taken;
    for (Table &table : found) {
        const FolderEntry &entry = entries[table.entry];
        const bool caseTwin = perLowerName.value(table.lowered) > 1;
        QString name = caseTwin ? entry.text.chopped(4) : std::move(table.lowered);
        for (int n = 2; taken.contains(name); ++n)
            name = entry.text.chopped(4) + QStringLiteral(" (%1)").arg(n);
        taken.insert(name);
        tables.append({std::move(name), folder.child(entry.name), caseTwin});
    }
    std::sort(tables.begin(), tables.end(), [](const FolderTable &a, const FolderTable &b) { return a.name < b.name; });
    return tables;
}

TableDescription::TableDescription(QString name, QList<ColumnDescription> columns)
    : m_name(std::move(name)), m_columns(std::move(columns)),
      m_allDescriptionsEmpty(std::all_of(m_columns.cbegin(), m_columns.cend(),
                                         [](const ColumnDescription &column) { return column.description.isEmpty(); }))
{
}

const ColumnDescription *TableDescription::findColumn(const QString &name) const
{
    // Names are asked for as the record set gave them, lower case and in
    // order: the exact pass, starting after the last hit, nearly always finds
    // them at once without lowering anything.
    const auto find = [this](const QString &key) -> const ColumnDescription * {
        const qsizetype count = m_columns.size();
        qsizetype i = m_searchFrom < count ? m_searchFrom : 0;
        for (qsizetype step = 0; step < count; ++step, i = i + 1 < count ? i + 1 : 0) {
            // A name the record set gave shares the column's own text.
            const QString &name = m_columns[i].name;
            if (sharesText(name, key) || name == key) {
                m_searchFrom = i + 1;
                return &m_columns[i];
            }
        }
        return nullptr;
    };
    if (const ColumnDescription *found = find(name))
        return found;
    return find(lowerCase(name));
}

QString TableDescription::columnProperty(const QString &column, const QString &property) const
{
    const ColumnDescription *found = findColumn(column);
    if (!found)
        throw Failure(QStringLiteral("Column '%1' does not exist in table '%2'.").arg(column, m_name),
                      platform::ItemNotFound);
    // The exact spelling first: a case-blind comparison costs more than the lookup.
    static constexpr QStringView description = u"Description";
    if (QStringView(property) != description && property.compare(description, Qt::CaseInsensitive) != 0)
        throw Failure(QStringLiteral("Column '%1' of table '%2' has no property '%3'.")
                          .arg(column, m_name, property),
                      platform::ItemNotFound);
    return found->description;
}

SourceKind sourceKindOf(const QString &path)
{
    if (path.trimmed().isEmpty())
        throw Failure(QStringLiteral("Invalid path or file name."), platform::InvalidPath);
    const QString shown = QDir::toNativeSeparators(path);
    switch (platform::kindOf(LocalPath::fromText(path))) {
    case FileKind::Missing:
        throw Failure(QStringLiteral("File or folder '%1' does not exist.").arg(shown), platform::FileDoesNotExist);
    case FileKind::Loop:
        throw Failure(QStringLiteral("'%1' cannot be opened: its symbolic links form a loop.").arg(shown),
                      platform::InvalidPath);
    case FileKind::Denied:
        throw Failure(QStringLiteral("Access to '%1' is denied.").arg(shown), platform::AccessDenied);
    case FileKind::Folder:
        if (QFileInfo(path).suffix().compare(QLatin1String("dbc"), Qt::CaseInsensitive) == 0)
            throw Failure(QStringLiteral("'%1' is a folder, not a database container.").arg(shown),
                          platform::InvalidPath);
        return SourceKind::Folder;
    case FileKind::Regular:
    case FileKind::Other: // the container's reader names what it is
        break;
    }
    return SourceKind::Container;
}


OpenedContainer::OpenedContainer(const LocalPath &dbcPath)
    : path(dbcPath), fileName(platform::displayName(dbcPath)), folder(dbcPath.folder()),
      model(platform::readContainer(dbcPath))
{
}

LocalPath OpenedContainer::fileOf(const ContainerObject &table) const
{
    return platform::resolveCaseInsensitive(folder, table.path);
}

const ContainerObject *OpenedContainer::ownerOf(const LocalPath &tablePath)
{
    if (!m_tableByFile) {
        m_tableByFile.emplace();
        for (const ContainerObject &table : model.tables) {
            if (const std::optional<FileIdentity> identity = platform::identityOf(fileOf(table)))
                m_tableByFile->insert(*identity, &table);
        }
    }
    const std::optional<FileIdentity> identity = platform::identityOf(tablePath);
    return identity ? m_tableByFile->value(*identity) : nullptr;
}

struct SourceFiles::Folder {
    bool snapshot = false;
    bool listed = false;
    QList<FolderTable> tables;                       // by name
    mutable QHash<QString, qsizetype> byLowerName; // lower-case name -> its table; -1 when two share it
    mutable qsizetype lastFound = 0;               // where tableNamed last found a name in tables
    QList<LocalPath> links;                        // in a snapshot, the listing's linkedFoxProFiles
    std::unique_ptr<platform::HeldFolder> held;
    bool readOne = false;   // a table was read before the folder was held
    QByteArray headerBytes; // one buffer for every table's header
    QHash<QByteArray, LinkedContainer> linkedByBacklink;
    QHash<FileIdentity, LinkedContainer> containersByFile; // each file parsed once, however linked
    platform::HashedMap<LocalPath::Native, NameLookup> lookups; // by folder
    // The folder find() last looked in and its names: a source's files are
    // nearly all in one folder.
    LocalPath::Native lastFolder;
    const NameLookup *lastLookup = nullptr;
};

SourceFiles::SourceFiles(const QString &path, bool snapshot)
    : m_folder(LocalPath::fromText(path)), m_state(std::make_unique<Folder>())
{
    m_state->snapshot = snapshot;
    if (sourceKindOf(path) == SourceKind::Container) {
        m_container = std::make_unique<OpenedContainer>(m_folder);
        m_folder = m_container->folder;
    }
}

SourceFiles::~SourceFiles() = default;

void SourceFiles::takeListing(const QList<FolderEntry> &entries)
{
    m_state->tables = model::folderTables(m_folder, entries);
    m_state->byLowerName.clear();
    m_state->listed = true;
    if (m_state->snapshot)
        m_state->links = linkedFoxProFiles(m_folder, entries);
}

const QList<FolderTable> &SourceFiles::folderTables()
{
    if (!m_state->snapshot || !m_state->listed)
        takeListing(FolderListing(m_folder).entries());
    return m_state->tables;
}

QList<TableEntry> SourceFiles::entries()
{
    QList<TableEntry> entries;
    if (m_container) {
        for (const ContainerObject &table : std::as_const(m_container->model.tables))
            entries.append({table.name, false});
        for (const ContainerObject &view : std::as_const(m_container->model.views))
            entries.append({view.name, true});
        return entries;
    }
    const QList<FolderTable> &tables = folderTables();
    entries.reserve(tables.size());
    for (const FolderTable &table : tables)
        entries.append({table.name, false});
    return entries;
}

const FolderTable *SourceFiles::tableNamed(const QString &name) const
{
    const QList<FolderTable> &tables = m_state->tables;
    // A report asks for the tables in the order they are listed, by the
    // names the listing gave, often as the very same text: the last one
    // found again, or the one after it, is nearly always it.
    for (const qsizetype i : {m_state->lastFound, m_state->lastFound + 1}) {
        if (i < tables.size()) {
            const QString &listed = tables[i].name;
            if (sharesText(listed, name) || listed == name) {
                m_state->lastFound = i;
                return &tables[i];
            }
        }
    }
    const auto byName = [](const FolderTable &table, const QString &key) { return table.name < key; };
    const auto exact = std::lower_bound(tables.cbegin(), tables.cend(), name, byName);
    if (exact != tables.cend() && exact->name == name) {
        m_state->lastFound = exact - tables.cbegin();
        return &*exact;
    }
    if (tables.isEmpty())
        return nullptr;
    // Only names in another case need this, so it is made when first asked.
    QHash<QString, qsizetype> &byLowerName = m_state->byLowerName;
    if (byLowerName.isEmpty()) {
        for (qsizetype i = 0; i < tables.size(); ++i) {
            const QString lowered = lowerCase(tables[i].name);
            byLowerName.insert(lowered, byLowerName.contains(lowered) ? -1 : i);
        }
    }
    const qsizetype found = byLowerName.value(lowerCase(name), -1);
    return found < 0 ? nullptr : &tables[found];
}

LocalPath SourceFiles::pathOf(const QString &name) const
{
    const FolderTable *table = tableNamed(name);
    return table ? table->path : LocalPath();
}

QByteArray &SourceFiles::headerBuffer()
{
    return m_state->headerBytes;
}

ReadOnlyFile SourceFiles::open(const LocalPath &path)
{
    // Through the folder held open from the second file on: one table read
    // costs no more than opening it by path.
    if (!m_state->held && !m_state->readOne) {
        m_state->readOne = true;
        return ReadOnlyFile(path);
    }
    if (!m_state->held)
        m_state->held = std::make_unique<platform::HeldFolder>(m_folder);
    return ReadOnlyFile(*m_state->held, path);
}

TableDescription SourceFiles::describe(const QString &name, QList<ColumnDescription> columns)
{
    if (!m_container)
        return describeFolderTable(name, std::move(columns));
    if (const ContainerObject *table = m_container->model.findTable(name)) {
        const LocalPath path = m_container->fileOf(*table);
        if (path.isEmpty())
            throw platform::fileDoesNotExist(table->path);
        return describeTable(name, platform::readStoredHeader(open(path), m_state->headerBytes), table,
                             std::move(columns));
    }
    if (const ContainerObject *view = m_container->model.findView(name))
        return describeView(name, *view);
    throw Failure(QStringLiteral("Table '%1' does not exist in '%2'.").arg(name, m_container->fileName),
                  platform::FileDoesNotExist);
}

TableDescription SourceFiles::describeFolderTable(const QString &name, QList<ColumnDescription> columns)
{
    std::optional<platform::StoredHeader> stored;
    LocalPath path = pathOf(name);
    if (path.isEmpty() && !m_state->listed && isPlainFileName(name)) {
        // A report opens its own connection and asks for tables by the
        // names the listing gave, nearly always the file's own name in
        // lower case: tried first, without listing the folder.
        path = m_folder.child(name, QLatin1StringView(".dbf"));
        try {
            stored = platform::readStoredHeader(open(path), m_state->headerBytes);
        } catch (const Failure &) {
            path = LocalPath();
        }
    }
    if (!stored) {
        if (path.isEmpty()) {
            takeListing(FolderListing(m_folder).entries());
            path = pathOf(name);
        }
        if (path.isEmpty())
            throw platform::fileDoesNotExist(name + QStringLiteral(".dbf"));
        stored = platform::readStoredHeader(open(path), m_state->headerBytes);
    }
    const platform::TableHeader &header = stored->header;
    const LinkedContainer *owner = header.backlink.isEmpty() ? nullptr : &linked(header.backlink, header.codePage);
    const ContainerObject *table = owner && owner->opened ? owner->opened->ownerOf(path) : nullptr;
    return describeTable(name, *stored, table, std::move(columns));
}

QString SourceFiles::keyOf(const QString &name) const
{
    if (m_container) {
        if (const ContainerObject *table = m_container->model.findTable(name))
            return table->name;
        if (const ContainerObject *view = m_container->model.findView(name))
            return QStringLiteral("view:") + view->name;
        return name;
    }
    if (const FolderTable *table = tableNamed(name))
        return table->name;
    return name;
}

LocalPath SourceFiles::find(const LocalPath &folder, const QString &name)
{
    if (!m_state->lastLookup || m_state->lastFolder != folder.native()) {
        auto found = m_state->lookups.find(folder.native());
        if (found == m_state->lookups.end()) {
            NameLookup lookup;
            try {
                lookup = NameLookup::of(platform::listFolder(folder));
            } catch (const Failure &) {
                // Left to the per-name lookup, which copes with what it can reach.
            }
            found = m_state->lookups.emplace(folder.native(), std::move(lookup)).first;
        }
        m_state->lastFolder = folder.native();
        m_state->lastLookup = &found->second;
    }
    const NameLookup &lookup = *m_state->lastLookup;
    if (!lookup.readable())
        return platform::resolveCaseInsensitive(folder, name);
    const std::optional<LocalPath::Native> named = lookup.find(name);
    return named ? folder.child(*named) : LocalPath();
}

const LinkedContainer &SourceFiles::linked(const QByteArray &backlink, quint8 codePage)
{
    auto known = m_state->linkedByBacklink.find(backlink);
    if (known != m_state->linkedByBacklink.end())
        return known.value();
    LinkedContainer linked;
    linked.path = platform::resolveCaseInsensitive(m_folder, platform::decodeText(backlink, codePage));
    if (!linked.path.isEmpty()) {
        const std::optional<FileIdentity> identity = platform::identityOf(linked.path);
        const auto same = identity ? m_state->containersByFile.constFind(*identity)
                                   : m_state->containersByFile.constEnd();
        if (same != m_state->containersByFile.constEnd()) {
            linked.opened = same->opened;
            linked.failure = same->failure;
        } else {
            try {
                linked.opened = std::make_shared<OpenedContainer>(linked.path);
            } catch (const Failure &failure) {
                // Its tables are read as free tables, keeping their own short names.
                linked.failure = failure.description();
            }
            if (identity)
                m_state->containersByFile.insert(*identity, linked);
        }
    }
    return m_state->linkedByBacklink.insert(backlink, std::move(linked)).value();
}

template <class Visit>
void SourceFiles::forEachBacklink(const QStringList &tables, Visit visit)
{
    for (const QString &name : tables) {
        const LocalPath path = pathOf(name);
        if (path.isEmpty())
            continue;
        std::optional<platform::Backlink> link;
        try {
            link = platform::readBacklink(path);
        } catch (const Failure &) {
            continue;
        }
        if (!link->name.isEmpty())
            visit(*link);
    }
}

QList<LocalPath> SourceFiles::filesRead(const QStringList &tables)
{
    if (m_container) {
        // Every table of the container, not only the ones reported, is the source's.
        QList<LocalPath> files = filesOfContainer(m_container->path);
        QHash<LocalPath::Native, std::shared_ptr<FolderListing>> listings;
        for (const ContainerObject &table : std::as_const(m_container->model.tables)) {
            const LocalPath path = m_container->fileOf(table);
            if (path.isEmpty())
                continue;
            std::shared_ptr<FolderListing> &listing = listings[path.folder().native()];
            try {
                if (!listing)
                    listing = std::make_shared<FolderListing>(path.folder());
                files += listing->filesSharingTheName(path.fileName());
            } catch (const Failure &) {
                files.append(path);
            }
        }
        return files;
    }
    const FolderListing listing(m_folder);
    if (!m_state->snapshot || !m_state->listed)
        takeListing(listing.entries());
    // Every table of the folder, not only the ones reported, is the source's.
    QList<LocalPath> files = listing.foxProFiles();
    QSet<LocalPath::Native> linkedChecked; // each linked container's files once
    forEachBacklink(tables, [&](const platform::Backlink &link) {
        const LocalPath container = this->linked(link.name, link.codePage).path;
        if (!container.isEmpty() && !linkedChecked.contains(container.native())) {
            linkedChecked.insert(container.native());
            files += filesOfContainer(container);
        }
    });
    return files;
}

QList<LocalPath> SourceFiles::linksRead(const QStringList &tables)
{
    if (m_container)
        return filesRead(tables);
    if (m_state->snapshot && m_state->listed)
        return m_state->links;
    return linkedFoxProFiles(m_folder, platform::listFolder(m_folder, platform::EntriesWanted::MaybeLinks));
}

QList<LocalPath> SourceFiles::filesLacking(const QStringList &)
{
    QList<LocalPath> files;
    if (m_container) {
        for (const ContainerObject &table : std::as_const(m_container->model.tables)) {
            if (!m_container->fileOf(table).isEmpty())
                continue;
            const LocalPath lacking = lackingFile(m_container->folder, table.path);
            if (!lacking.isEmpty())
                files.append(lacking);
        }
        return files;
    }
    // Every table of the folder is the source's, not only the ones reported.
    QStringList tables;
    for (const FolderTable &table : folderTables())
        tables.append(table.name);
    forEachBacklink(tables, [&](const platform::Backlink &link) {
        if (this->linked(link.name, link.codePage).path.isEmpty()) {
            const LocalPath lacking = lackingFile(m_folder, platform::decodeText(link.name, link.codePage));
            if (!lacking.isEmpty())
                files.append(lacking);
        }
    });
    return files;
}

} // namespace model
