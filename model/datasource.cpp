#include "model/datasource.h"

#include "platform/codepage.h"
#include "platform/container.h"
#include "model/dataaccess.h"
#include "model/fieldtype.h"
#include "platform/fileaccess.h"
#include "platform/tableheader.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <optional>

namespace model {

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
TableDescription describeTable(const QString &name, const platform::StoredHeader &stored, const platform::ContainerObject *owner,
                               QList<ColumnDescription> columns = {})
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
            column.name = platform::lowerCase(owner->fields[count].name);
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

TableDescription describeView(const QString &name, const platform::ContainerObject &view)
{
    QList<ColumnDescription> columns;
    for (const platform::ContainerField &field : view.fields) {
        const ColumnType type = columnTypeOfDataType(field.dataType);
        columns.append({platform::lowerCase(field.name), type.type, type.size, field.comment});
    }
    return TableDescription(name, std::move(columns));
}

// Tables, memos, indexes, containers and the backups FoxPro leaves of them.
bool isFoxProFile(const QString &fileName)
{
    static const QStringList extensions{"dbf", "fpt", "dbt", "smt", "cdx", "mdx", "idx", "ndx", "ntx",
                                        "dbc", "dct", "dcx", "bak", "tbk"};
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && extensions.contains(fileName.sliced(dot + 1), Qt::CaseInsensitive);
}

// The name up to its extension.
QString baseOf(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot <= 0 ? fileName : fileName.first(dot);
}

// The files of a folder, listed once, with the ones that belong to a file:
// those that share its name up to the extension (its memo, its indexes, the
// backups FoxPro leaves beside it).
class FolderListing {
public:
    explicit FolderListing(platform::LocalPath folder) : m_folder(std::move(folder)), m_entries(platform::listFolder(m_folder)) {}

    const platform::LocalPath &folder() const { return m_folder; }
    const QList<platform::FolderEntry> &entries() const { return m_entries; }

    // The files of the FoxPro family among those sharing the name (a report
    // named like a table, "orders.txt", is none of them).
    QList<platform::LocalPath> filesSharingTheName(const QString &fileName) const
    {
        if (m_byBase.isEmpty())
            groupByName();
        QList<platform::LocalPath> files;
        for (const qsizetype i : m_byBase.value(platform::lowerCase(baseOf(fileName)))) {
            if (isFoxProFile(m_entries[i].text))
                files.append(m_folder.child(m_entries[i].name));
        }
        return files;
    }

    // Every table of the folder with its own files, and every container there.
    QList<platform::LocalPath> foxProFiles() const
    {
        QList<platform::LocalPath> files;
        for (const platform::FolderEntry &entry : m_entries) {
            if (entry.kind == platform::FileKind::Regular && isFoxProFile(entry.text))
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
            if (m_entries[i].kind == platform::FileKind::Regular)
                m_byBase[platform::lowerCase(baseOf(m_entries[i].text))].append(i);
        }
    }

    platform::LocalPath m_folder;
    QList<platform::FolderEntry> m_entries;
    mutable QHash<QString, QList<qsizetype>> m_byBase; // lower-case name without extension -> entries
};

// The .dbc and the files beside it that share its name (.dct, .dcx).
QList<platform::LocalPath> filesOfContainer(const platform::LocalPath &dbcPath)
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
platform::LocalPath lackingFile(const platform::LocalPath &base, const QString &relative)
{
    QString path = relative;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = path.sliced(slash + 1);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return platform::LocalPath();
    const platform::LocalPath folder = slash < 0 ? base : platform::resolveCaseInsensitive(base, path.first(slash));
    return folder.isEmpty() ? platform::LocalPath() : folder.child(platform::LocalPath::fromText(name).native());
}

// A parsed container and where each of its tables' files is.
struct OpenedContainer {
    platform::LocalPath path;
    QString fileName;
    platform::LocalPath folder;
    platform::ContainerModel model;
    std::optional<QHash<platform::FileIdentity, const platform::ContainerObject *>> tableByFile;

    explicit OpenedContainer(const platform::LocalPath &dbcPath)
        : path(dbcPath), fileName(platform::displayName(dbcPath)), folder(dbcPath.folder()), model(platform::readContainer(dbcPath))
    {
    }

    platform::LocalPath fileOf(const platform::ContainerObject &table) const
    {
        return platform::resolveCaseInsensitive(folder, table.path);
    }

    // The container's table whose file is this one, however either path spells it.
    const platform::ContainerObject *ownerOf(const platform::LocalPath &tablePath)
    {
        if (!tableByFile) {
            tableByFile.emplace();
            for (const platform::ContainerObject &table : model.tables) {
                if (const std::optional<platform::FileIdentity> identity = platform::identityOf(fileOf(table)))
                    tableByFile->insert(*identity, &table);
            }
        }
        const std::optional<platform::FileIdentity> identity = platform::identityOf(tablePath);
        return identity ? tableByFile->value(*identity) : nullptr;
    }

    QList<platform::LocalPath> ownFiles() const { return filesOfContainer(path); }
};

// The files among a folder's entries that a link may lead a report to: the
// FoxPro files that are, or may be, symbolic links.
QList<platform::LocalPath> linkedFoxProFiles(const platform::LocalPath &folder, const QList<platform::FolderEntry> &entries)
{
    QList<platform::LocalPath> files;
    for (const platform::FolderEntry &entry : entries) {
        if (entry.maybeLink && entry.kind == platform::FileKind::Regular && isFoxProFile(entry.text))
            files.append(folder.child(entry.name));
    }
    return files;
}

class FolderSource : public DataSource {
public:
    // `snapshot`: the folder is listed once, and read as that listing found it.
    FolderSource(const platform::LocalPath &folder, bool snapshot) : m_folder(folder), m_snapshot(snapshot) {}

    QList<TableEntry> tables() override
    {
        if (!m_snapshot || !m_listed)
            refreshListing(FolderListing(m_folder));
        QList<TableEntry> entries;
        entries.reserve(m_tables.size());
        for (const FolderTable &table : std::as_const(m_tables))
            entries.append({table.name, false});
        return entries;
    }

    QList<platform::LocalPath> filesRead(const QStringList &tables) override
    {
        const FolderListing listing(m_folder);
        if (!m_snapshot || !m_listed)
            refreshListing(listing);
        // Every table of the folder, not only the ones reported, is the source's.
        QList<platform::LocalPath> files = listing.foxProFiles();
        QSet<platform::LocalPath::Native> linkedChecked; // each linked container's files once
        forEachBacklink(tables, [&](const platform::Backlink &link) {
            const platform::LocalPath container = linkedFile(link.name, link.codePage);
            if (!container.isEmpty() && !linkedChecked.contains(container.native())) {
                linkedChecked.insert(container.native());
                files += filesOfContainer(container);
            }
        });
        return files;
    }

    QList<platform::LocalPath> filesLacking(const QStringList &) override
    {
        // Every table of the folder is the source's, not only the ones reported.
        if (!m_snapshot || !m_listed)
            refreshListing(FolderListing(m_folder));
        QStringList tables;
        for (const FolderTable &table : std::as_const(m_tables))
            tables.append(table.name);
        QList<platform::LocalPath> files;
        forEachBacklink(tables, [&](const platform::Backlink &link) {
            if (linkedFile(link.name, link.codePage).isEmpty()) {
                const platform::LocalPath lacking = lackingFile(m_folder, platform::decodeText(link.name, link.codePage));
                if (!lacking.isEmpty())
                    files.append(lacking);
            }
        });
        return files;
    }

    QList<platform::LocalPath> linksRead(const QStringList &) override
    {
        if (m_snapshot && m_listed)
            return m_links;
        return linkedFoxProFiles(m_folder, platform::listFolder(m_folder, platform::EntriesWanted::MaybeLinks));
    }

protected:
    TableDescription load(const QString &name) override
    {
        std::optional<platform::StoredHeader> stored;
        platform::LocalPath path = pathOf(name);
        if (path.isEmpty() && !m_listed && isPlainFileName(name)) {
            // A report opens its own connection and asks for tables by the
            // names the listing gave, nearly always the file's own name in
            // lower case: tried first, without listing the folder.
            path = m_folder.child(name, QLatin1StringView(".dbf"));
            try {
                stored = platform::readStoredHeader(openTable(path), m_headerBytes);
            } catch (const Failure &) {
                path = platform::LocalPath();
            }
        }
        if (!stored) {
            if (path.isEmpty()) {
                refreshListing(FolderListing(m_folder));
                path = pathOf(name);
            }
            if (path.isEmpty())
                throw platform::fileDoesNotExist(name + QStringLiteral(".dbf"));
            stored = platform::readStoredHeader(openTable(path), m_headerBytes);
        }
        const platform::TableHeader &header = stored->header;
        const std::shared_ptr<OpenedContainer> owner = containerOf(header.backlink, header.codePage);
        return describeTable(name, *stored, owner ? owner->ownerOf(path) : nullptr, takeSpareColumns());
    }

    QString keyOf(const QString &name) const override
    {
        if (const FolderTable *table = tableNamed(name))
            return table->name;
        return name;
    }

private:
    // The container link of each of these tables that names one; a table that
    // cannot be read names none.
    template <class Visit>
    void forEachBacklink(const QStringList &tables, Visit visit)
    {
        for (const QString &name : tables) {
            const platform::LocalPath path = pathOf(name);
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

    // A name that can only name a file of this folder (a listed name never
    // holds a separator; a NUL would cut the name short; on Windows a colon
    // names a drive or a stream).
    static bool isPlainFileName(const QString &name)
    {
        const auto special = [](QChar c) { return c == u'/' || c == u'\\' || c == u':' || c == u'\0'; };
        return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
            && std::none_of(name.cbegin(), name.cend(), special);
    }

    // The listed table of that name; else the one it names in another case,
    // when only one does. Null when none.
    const FolderTable *tableNamed(const QString &name) const
    {
        // A report asks for the tables in the order they are listed, by the
        // names the listing gave, often as the very same text: the last one
        // found again, or the one after it, is nearly always it.
        for (const qsizetype i : {m_lastFound, m_lastFound + 1}) {
            if (i < m_tables.size()) {
                const QString &listed = m_tables[i].name;
                if (sharesText(listed, name) || listed == name) {
                    m_lastFound = i;
                    return &m_tables[i];
                }
            }
        }
        const auto byName = [](const FolderTable &table, const QString &key) { return table.name < key; };
        const auto exact = std::lower_bound(m_tables.cbegin(), m_tables.cend(), name, byName);
        if (exact != m_tables.cend() && exact->name == name) {
            m_lastFound = exact - m_tables.cbegin();
            return &*exact;
        }
        if (m_tables.isEmpty())
            return nullptr;
        // Only names in another case need this, so it is made when first asked.
        if (m_byLowerName.isEmpty()) {
            for (qsizetype i = 0; i < m_tables.size(); ++i) {
                const QString lowered = platform::lowerCase(m_tables[i].name);
                m_byLowerName.insert(lowered, m_byLowerName.contains(lowered) ? -1 : i);
            }
        }
        const qsizetype found = m_byLowerName.value(platform::lowerCase(name), -1);
        return found < 0 ? nullptr : &m_tables[found];
    }

    platform::LocalPath pathOf(const QString &name) const
    {
        const FolderTable *table = tableNamed(name);
        return table ? table->path : platform::LocalPath();
    }

    // A table of the folder, opened through the folder held open from the
    // second table on: one table read costs no more than opening it by path.
    platform::ReadOnlyFile openTable(const platform::LocalPath &path)
    {
        if (!m_held && !m_readOne) {
            m_readOne = true;
            return platform::ReadOnlyFile(path);
        }
        if (!m_held)
            m_held = std::make_unique<platform::HeldFolder>(m_folder);
        return platform::ReadOnlyFile(*m_held, path);
    }

    // The tables of a listing of the folder; the entries themselves are not
    // kept, as a folder may hold tens of thousands of them.
    void refreshListing(const FolderListing &listing)
    {
        m_tables = folderTables(m_folder, listing.entries());
        m_byLowerName.clear();
        m_listed = true;
        if (m_snapshot)
            m_links = linkedFoxProFiles(m_folder, listing.entries());
    }

    // The container a Visual FoxPro table links back to, when it is present
    // and readable. Each link is followed once per connection, missing ones too.
    std::shared_ptr<OpenedContainer> containerOf(const QByteArray &backlink, quint8 codePage)
    {
        if (backlink.isEmpty())
            return nullptr;
        const auto known = m_containersByLink.constFind(backlink);
        if (known != m_containersByLink.constEnd())
            return known.value();
        std::shared_ptr<OpenedContainer> opened;
        const platform::LocalPath dbcPath = linkedFile(backlink, codePage);
        if (const std::optional<platform::FileIdentity> identity = platform::identityOf(dbcPath)) {
            const auto same = m_containersByFile.constFind(*identity);
            if (same != m_containersByFile.constEnd()) {
                opened = same.value();
            } else {
                try {
                    opened = std::make_shared<OpenedContainer>(dbcPath);
                } catch (const Failure &) {
                    // A damaged container does not keep its tables from being
                    // described: they keep their own short names.
                }
                m_containersByFile.insert(*identity, opened);
            }
        }
        m_containersByLink.insert(backlink, opened);
        return opened;
    }

    // Where a backlink leads, empty when nowhere; found once per connection.
    platform::LocalPath linkedFile(const QByteArray &backlink, quint8 codePage)
    {
        auto found = m_linkedFiles.constFind(backlink);
        if (found == m_linkedFiles.constEnd())
            found = m_linkedFiles.insert(backlink, platform::resolveCaseInsensitive(m_folder, platform::decodeText(backlink, codePage)));
        return found.value();
    }

    platform::LocalPath m_folder;
    bool m_snapshot = false;
    QList<platform::LocalPath> m_links; // in a snapshot, the listing's linkedFoxProFiles
    std::unique_ptr<platform::HeldFolder> m_held;
    bool m_readOne = false; // a table was read before the folder was held
    QByteArray m_headerBytes; // one buffer for every table's header
    bool m_listed = false;
    QList<FolderTable> m_tables; // by name
    mutable QHash<QString, qsizetype> m_byLowerName; // lower-case name -> its table; -1 when two share it
    mutable qsizetype m_lastFound = 0; // where tableNamed last found a name in m_tables
    QHash<QByteArray, std::shared_ptr<OpenedContainer>> m_containersByLink;
    QHash<QByteArray, platform::LocalPath> m_linkedFiles;
    QHash<platform::FileIdentity, std::shared_ptr<OpenedContainer>> m_containersByFile;
};

class ContainerSource : public DataSource {
public:
    explicit ContainerSource(const platform::LocalPath &dbcPath) : m_container(dbcPath) {}

    QList<TableEntry> tables() override
    {
        QList<TableEntry> entries;
        for (const platform::ContainerObject &table : std::as_const(m_container.model.tables))
            entries.append({table.name, false});
        for (const platform::ContainerObject &view : std::as_const(m_container.model.views))
            entries.append({view.name, true});
        return entries;
    }

    QList<platform::LocalPath> filesRead(const QStringList &) override
    {
        // Every table of the container, not only the ones reported, is the source's.
        QList<platform::LocalPath> files = m_container.ownFiles();
        QHash<platform::LocalPath::Native, std::shared_ptr<FolderListing>> listings;
        for (const platform::ContainerObject &table : std::as_const(m_container.model.tables)) {
            const platform::LocalPath path = m_container.fileOf(table);
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

    QList<platform::LocalPath> filesLacking(const QStringList &) override
    {
        QList<platform::LocalPath> files;
        for (const platform::ContainerObject &table : std::as_const(m_container.model.tables)) {
            if (!m_container.fileOf(table).isEmpty())
                continue;
            const platform::LocalPath lacking = lackingFile(m_container.folder, table.path);
            if (!lacking.isEmpty())
                files.append(lacking);
        }
        return files;
    }

protected:
    // The container's model is in memory already; its descriptions add little
    // to it, and a lookup of any of them stays a lookup.
    bool keepsDescriptions() const override { return true; }

    QString keyOf(const QString &name) const override
    {
        if (const platform::ContainerObject *table = m_container.model.findTable(name))
            return table->name;
        if (const platform::ContainerObject *view = m_container.model.findView(name))
            return QStringLiteral("view:") + view->name;
        return name;
    }

    TableDescription load(const QString &name) override
    {
        if (const platform::ContainerObject *table = m_container.model.findTable(name)) {
            const platform::LocalPath path = m_container.fileOf(*table);
            if (path.isEmpty())
                throw platform::fileDoesNotExist(table->path);
            return describeTable(name, platform::readStoredHeader(platform::ReadOnlyFile(path), m_headerBytes), table);
        }
        if (const platform::ContainerObject *view = m_container.model.findView(name))
            return describeView(name, *view);
        throw Failure(QStringLiteral("Table '%1' does not exist in '%2'.").arg(name, m_container.fileName),
                      platform::FileDoesNotExist);
    }

private:
    OpenedContainer m_container;
    QByteArray m_headerBytes; // one buffer for every table's header
};

} // namespace

QList<FolderTable> folderTables(const platform::LocalPath &folder, const QList<platform::FolderEntry> &entries)
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
        const platform::FolderEntry &entry = entries[i];
        if (entry.kind != platform::FileKind::Regular || entry.text.size() <= 4 || !dbfExtension(entry.text))
            continue;
        found.append({i, platform::lowerCase(entry.text.chopped(4)), false});
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
        const platform::FolderEntry &entry = entries[table.entry];
        ++perLowerName[table.lowered];
        // A file spelt exactly as its name plus ".dbf" is the one that
        // name opens directly, so it gets the name before any twin.
        table.direct = entry.text.endsWith(QLatin1String(".dbf"))
            && platform::LocalPath::fromText(entry.text).native() == entry.name;
    }
    std::stable_sort(found.begin(), found.end(), [&entries](const Table &a, const Table &b) {
        // Every path is the folder's and the entry's name: the names order them.
        return a.direct != b.direct ? a.direct : entries[a.entry].name < entries[b.entry].name;
    });
    QSet<QString> taken;
    for (Table &table : found) {
        const platform::FolderEntry &entry = entries[table.entry];
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
    return find(platform::lowerCase(name));
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

std::shared_ptr<const TableDescription> DataSource::describe(const QString &name)
{
    // A report asks for one table's fields one after the other, under the
    // very same name: a repeat is one pointer test.
    if (m_last && sharesText(name, m_lastName))
        return m_last;
    // Other spellings of a name find the same table: the key is the table's.
    const QString key = keyOf(name);
    if (!m_last || key != m_lastKey) {
        // A description nobody else holds any more lends its storage to the next.
        if (m_last && m_last.use_count() == 1 && !keepsDescriptions())
            m_spareColumns = std::move(*m_last).takeColumns();
        m_last.reset();
        const auto kept = m_kept.constFind(key);
        if (kept != m_kept.constEnd()) {
            m_last = kept.value();
        } else {
            m_last = std::make_shared<TableDescription>(load(name));
            if (keepsDescriptions())
                m_kept.insert(key, m_last);
        }
        m_lastKey = key;
    }
    m_lastName = name;
    return m_last;
}

QList<ColumnDescription> DataSource::takeSpareColumns()
{
    return std::exchange(m_spareColumns, {});
}

SourceKind sourceKindOf(const QString &path)
{
    if (path.trimmed().isEmpty())
        throw Failure(QStringLiteral("Invalid path or file name."), platform::InvalidPath);
    const QString shown = QDir::toNativeSeparators(path);
    switch (platform::kindOf(platform::LocalPath::fromText(path))) {
    case platform::FileKind::Missing:
        throw Failure(QStringLiteral("File or folder '%1' does not exist.").arg(shown), platform::FileDoesNotExist);
    case platform::FileKind::Loop:
        throw Failure(QStringLiteral("'%1' cannot be opened: its symbolic links form a loop.").arg(shown),
                      platform::InvalidPath);
    case platform::FileKind::Denied:
        throw Failure(QStringLiteral("Access to '%1' is denied.").arg(shown), platform::AccessDenied);
    case platform::FileKind::Folder:
        if (QFileInfo(path).suffix().compare(QLatin1String("dbc"), Qt::CaseInsensitive) == 0)
            throw Failure(QStringLiteral("'%1' is a folder, not a database container.").arg(shown),
                          platform::InvalidPath);
        return SourceKind::Folder;
    case platform::FileKind::Regular:
    case platform::FileKind::Other: // the container's reader names what it is
        break;
    }
    return SourceKind::Container;
}

namespace {

thread_local SourceSnapshot *currentSnapshot = nullptr;

} // namespace

SourceSnapshot::SourceSnapshot() : m_outer(currentSnapshot)
{
    currentSnapshot = this;
}

SourceSnapshot::~SourceSnapshot()
{
    currentSnapshot = m_outer;
}

std::shared_ptr<DataSource> DataSource::open(const QString &path)
{
    SourceSnapshot *const snapshot = currentSnapshot;
    if (snapshot) {
        if (std::shared_ptr<DataSource> opened = snapshot->m_sources.value(path))
            return opened;
    }
    const platform::LocalPath local = platform::LocalPath::fromText(path);
    std::shared_ptr<DataSource> source;
    if (sourceKindOf(path) == SourceKind::Folder)
        source = std::make_shared<FolderSource>(local, snapshot != nullptr);
    else
        source = std::make_shared<ContainerSource>(local);
    if (snapshot)
        snapshot->m_sources.insert(path, source);
    return source;
}

namespace {

// The source's file that a FoxPro file made at `candidate`, which does not
// exist yet, would belong to: one of its folder whose name it shares up to
// the extension, among the files the source reads or lacks.
std::optional<QString> companionMatching(const QString &sourcePath, const QStringList &tables,
                                         const QString &candidate)
{
    // A file made there is made where its symbolic links lead.
    const platform::LocalPath path = platform::linkTarget(platform::LocalPath::fromText(candidate));
    const QString name = path.fileName();
    if (!isFoxProFile(name))
        return std::nullopt;
    const std::optional<platform::FileIdentity> folder = platform::identityOf(path.folder());
    if (!folder)
        return std::nullopt;
    std::shared_ptr<DataSource> source;
    try {
        source = DataSource::open(sourcePath);
    } catch (const Failure &) {
        return std::nullopt;
    }
    const QString base = platform::lowerCase(baseOf(name));
    QHash<platform::LocalPath::Native, bool> sameFolder; // by folder: whether it is the candidate's
    for (const platform::LocalPath &file : source->filesRead(tables) + source->filesLacking(tables)) {
        if (platform::lowerCase(baseOf(file.fileName())) != base)
            continue;
        const platform::LocalPath fileFolder = file.folder();
        auto known = sameFolder.constFind(fileFolder.native());
        if (known == sameFolder.constEnd())
            known = sameFolder.insert(fileFolder.native(), platform::identityOf(fileFolder) == folder);
        if (known.value())
            return QDir::toNativeSeparators(path.text());
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> sourceFileMatching(const QString &sourcePath, const QStringList &tables,
                                          const QString &candidate)
{
    const std::optional<platform::FileIdentity> target = platform::identityOf(platform::LocalPath::fromText(candidate));
    // A file not there yet, or a pipe or a device (written to as it is, and
    // never one a source reads), is the source's by its name alone.
    if (!target || platform::kindOf(platform::LocalPath::fromText(candidate)) != platform::FileKind::Regular)
        return companionMatching(sourcePath, tables, candidate);
    if (platform::identityOf(platform::LocalPath::fromText(sourcePath)) == target)
        return QDir::toNativeSeparators(sourcePath);
    std::shared_ptr<DataSource> source;
    try {
        source = DataSource::open(sourcePath);
    } catch (const Failure &) {
        return std::nullopt; // nothing of it can be read, so nothing of it is at stake
    }
    // Only through a symbolic link can a report read a file whose one name is
    // not a FoxPro file's: the others need not be asked.
    const std::optional<QString> soleName = platform::soleEntryName(platform::LocalPath::fromText(candidate));
    const QList<platform::LocalPath> files =
        soleName && !isFoxProFile(*soleName) ? source->linksRead(tables) : source->filesRead(tables);
    for (const platform::LocalPath &file : files) {
        if (platform::identityOf(file) == target)
            return QDir::toNativeSeparators(file.text());
    }
    return std::nullopt;
}

} // namespace model
