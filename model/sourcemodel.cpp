#include "model/sourcemodel.h"

#include "model/impliedrelations.h"

#include "model/properties.h"
#include "model/sourcefiles.h"

#include "platform/bytes.h"
#include "platform/cleantext.h"
#include "platform/codepage.h"
#include "platform/container.h"
#include "platform/fileaccess.h"
#include "platform/memofile.h"
#include "platform/tableheader.h"
#include "platform/texthash.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <memory>

namespace model {

namespace {

thread_local SourceSnapshot *currentSnapshot = nullptr;

// The endings of the findings that say what a table's model lacks (gapOf).
const char tagsUnknownEnding[] = ": tags unknown.";
const char propertiesUnknownEnding[] = ", without the container's names and properties.";
const char leftOutEnding[] = " left out.";

QString quoted(const QString &text)
{
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

// The container writes each rule as the first letter of its word.
QString riWord(const QByteArray &riInfo, qsizetype at)
{
    if (at >= riInfo.size())
        return {};
    const char letter = char(riInfo[at] | 0x20);
    for (const char *word : ruleWords()) {
        if (word[0] == letter)
            return QString::fromLatin1(word);
    }
    return {};
}

bool isMemoLetter(char type, bool visualFoxPro)
{
    return type == 'M' || type == 'G' || type == 'P' || type == 'W' || (type == 'B' && !visualFoxPro);
}

// The memo file's extension: FoxPro 2.x and Visual FoxPro write .fpt, HiPer-Six
// .smt, every dBase-family writer (FoxBASE+ included) .dbt.
QString memoExtension(quint8 version)
{
    if (platform::isVisualFoxProVersion(version) || version == 0xF5)
        return QStringLiteral("fpt");
    if (version == 0xE5)
        return QStringLiteral("smt");
    return QStringLiteral("dbt");
}

// Whether the header says a memo file belongs to the table without any memo
// field saying so: Visual FoxPro's table flag, the other dialects' version byte.
bool headerAnnouncesMemo(const platform::TableHeader &header)
{
    if (header.isVisualFoxPro())
        return header.flags & 0x02;
    switch (header.version) {
    case 0x7B: case 0x83: case 0x87: case 0x8B: case 0x8C: case 0xCB: case 0xE5: case 0xF5:
        return true;
    default:
        return false;
    }
}


class ModelReader {
public:
    ModelReader(SourceModel &source, SourceFiles &files) : m_source(source), m_files(files) {}

    // A folder's tables, listed; nothing of them is read yet.
    void openFolder()
    {
        reportCaseTwins(m_files.folderTables());
        for (const FolderTable &table : m_files.folderTables())
            m_tableNames.append(table.name);
    }

    // A container's tables and views, listed; no table is read yet.
    void openContainer()
    {
        const OpenedContainer &container = *m_files.container();
        m_source.comment = container.model.comment;
        m_source.codePageMark = container.model.codePage;
        for (const QString &damage : std::as_const(container.model.damage))
            addFinding(Severity::Error, container.fileName, damage + QStringLiteral(" Its values are left empty."));
        for (const platform::ContainerObject &table : std::as_const(container.model.tables))
            m_tableNames.append(table.name);
        for (const platform::ContainerObject &view : std::as_const(container.model.views))
            m_viewNames.append(view.name);
    }

    const QStringList &tableNames() const { return m_tableNames; }
    const QStringList &viewNames() const { return m_viewNames; }

    std::optional<TableModel> table(qsizetype index)
    {
        const platform::LocalPath &folder = m_files.folder();
        const OpenedContainer *container = m_files.container();
        if (!container) {
            const FolderTable &table = m_files.folderTables()[index];
            std::optional<platform::StoredHeader> header = readHeader(table.name, table.path);
            if (!header)
                return std::nullopt;
            const platform::ContainerObject *owner = linkedOwner(table.name, table.path, header->header);
            return tableModel(table.name, table.path, folder, *header, owner);
        }
        const platform::ContainerObject &table = container->model.tables[index];
        const platform::LocalPath path = container->fileOf(table);
        if (path.isEmpty()) {
            addFinding(Severity::Error, table.name,
                       QStringLiteral("Its file %1 is missing; the table is left out.").arg(quoted(table.path)));
            return std::nullopt;
        }
        std::optional<platform::StoredHeader> header = readHeader(table.name, path);
        if (!header)
            return std::nullopt;
        m_children.append(&table);
        return tableModel(table.name, path, folder, *header, &table);
    }

    ViewModel view(qsizetype index) const { return viewModel(m_files.container()->model.views[index]); }

    // The relations among the tables read, once they all are.
    void addRelations()
    {
        if (const OpenedContainer *container = m_files.container())
            m_source.relations = relationsAmong(container->model, m_children);
    }

    // The positions of the names a selection keeps, in the source's order: a
    // name matches every name of its exact spelling, else every name equal to
    // it but for case.
    QList<qsizetype> selected(const QStringList &names, const QStringList &selection)
    {
        QList<qsizetype> kept;
        if (selection.isEmpty()) {
            // Every name the table list shows.
            for (qsizetype i = 0; i < names.size(); ++i) {
                if (!isResourceTable(names[i]))
                    kept.append(i);
            }
            return kept;
        }
        // The positions of each name, and of each name case-folded when a
        // selected name matches none exactly: looked up, not searched, as a
        // selection may name every one of tens of thousands of tables.
        platform::HashedMap<QString, QList<qsizetype>> byName;
        platform::HashedMap<QString, QList<qsizetype>> byFoldedName;
        byName.reserve(names.size());
        for (qsizetype i = 0; i < names.size(); ++i)
            byName[names[i]].append(i);
        std::vector<bool> chosen(names.size());
        const auto positions = [](const auto &map, const QString &key) {
            const auto found = map.find(key);
            return found == map.end() ? QList<qsizetype>() : found->second;
        };
        for (const QString &wanted : selection) {
            // Every name spelt so: a table and a view may share one.
            QList<qsizetype> found = positions(byName, wanted);
            if (found.isEmpty()) {
                if (byFoldedName.empty()) {
                    for (qsizetype i = 0; i < names.size(); ++i)
                        byFoldedName[names[i].toCaseFolded()].append(i);
                }
                found = positions(byFoldedName, wanted.toCaseFolded());
            }
            if (found.isEmpty())
                addFinding(Severity::Error, wanted, QStringLiteral("The source has no table or view of this name."));
            for (const qsizetype i : std::as_const(found))
                chosen[i] = true;
        }
        for (qsizetype i = 0; i < names.size(); ++i) {
            if (chosen[i])
                kept.append(i);
        }
        return kept;
    }

private:
    // The place is the table's name exactly, so that the finding can be
    // matched with the table; every writer makes it safe to show.
    void addFinding(Severity severity, const QString &place, const QString &message)
    {
        m_source.findings.append({severity, place, platform::cleanText(message, platform::OneLine)});
    }

    void reportCaseTwins(const QList<FolderTable> &tables)
    {
        QHash<QString, QList<const FolderTable *>> twins;
        QStringList order;
        for (const FolderTable &table : tables) {
            if (!table.caseTwin)
                continue;
            const QString key = platform::lowerCase(table.path.fileName());
            if (!twins.contains(key))
                order.append(key);
            twins[key].append(&table);
        }
        for (const QString &key : std::as_const(order)) {
            const QList<const FolderTable *> &group = twins[key];
            QStringList files;
            QStringList listed;
            for (const FolderTable *table : group) {
                files.append(quoted(table->path.fileName()));
                listed.append(quoted(table->name));
            }
            addFinding(Severity::Warning, group.first()->name,
                       QStringLiteral("The files %1 have names equal but for case; they are listed as %2.")
                           .arg(files.join(QStringLiteral(", ")), listed.join(QStringLiteral(", "))));
        }
    }

    // Its fields' names view the reader's header buffer, until the next table's.
    std::optional<platform::StoredHeader> readHeader(const QString &name, const platform::LocalPath &path)
    {
        try {
            return platform::readStoredHeader(m_files.open(path), m_files.headerBuffer(),
                                              platform::RecordLengthCheck::Lenient);
        } catch (const Failure &failure) {
            addFinding(Severity::Error, name,
                       failure.description() + QStringLiteral(" The table cannot be read and is left out."));
            return std::nullopt;
        }
    }

    // The container table a free table's backlink leads to, when the
    // container is there, reads and lists the table's file.
    const platform::ContainerObject *linkedOwner(const QString &name, const platform::LocalPath &tablePath,
                                                 const platform::TableHeader &header)
    {
        if (!header.isVisualFoxPro() || header.backlink.isEmpty())
            return nullptr;
        const QString link = platform::decodeText(header.backlink, header.codePage);
        const LinkedContainer &linked = m_files.linked(header.backlink, header.codePage);
        if (linked.path.isEmpty()) {
            addFinding(Severity::Warning, name,
                       QStringLiteral("It names the container %1, which is missing; it is read as a free table.")
                           .arg(quoted(link)));
            return nullptr;
        }
        if (!linked.opened) {
            addFinding(Severity::Warning, name,
                       QStringLiteral("Its container %1 cannot be read (%2); it is read as a free table.")
                           .arg(quoted(link), linked.failure));
            return nullptr;
        }
        const platform::ContainerObject *owner = linked.opened->ownerOf(tablePath);
        if (!owner)
            addFinding(Severity::Warning, name,
                       QStringLiteral("Its container %1 does not list it; it is read as a free table.")
                           .arg(quoted(link)));
        return owner;
    }

    QString relativeText(const platform::LocalPath &folder, const platform::LocalPath &file)
    {
        // Every file of a source is named from the same folder: its text is made once.
        if (m_baseFolder != folder) {
            m_baseFolder = folder;
            m_baseText = folder.text();
        }
        const QString &base = m_baseText;
        const QString text = file.text();
        if (!base.isEmpty() && text.startsWith(base)) {
            const QString rest = text.sliced(base.size());
            if (rest.startsWith(QLatin1Char('/')) || rest.startsWith(QDir::separator()))
                return rest.sliced(1);
            if (base.endsWith(QLatin1Char('/')) || base.endsWith(QDir::separator()))
                return rest;
        }
        return text;
    }

    TableModel tableModel(const QString &name, const platform::LocalPath &path, const platform::LocalPath &sourceFolder,
                          const platform::StoredHeader &stored, const platform::ContainerObject *owner)
    {
        const platform::TableHeader &header = stored.header;
        TableModel table;
        table.name = name;
        table.file = relativeText(sourceFolder, path);
        table.version = header.version;
        table.dialect = header.dBase2 ? QStringLiteral("dBase II") : dialectName(header.version);
        table.codePageMark = header.codePage;
        if (m_codePageNames.size() <= header.codePage)
            m_codePageNames.resize(256);
        if (m_codePageNames[header.codePage].isNull())
            m_codePageNames[header.codePage] = codePageName(header.codePage);
        table.codePage = m_codePageNames[header.codePage];
        table.recordCount = header.recordCount;
        table.lastUpdate = header.lastUpdate;
        table.headerLength = header.headerLength;
        table.recordLength = header.recordLength;
        if (owner) {
            table.comment = owner->comment;
            table.rule = owner->rule;
            table.ruleText = owner->ruleText;
            table.insertTrigger = owner->insertTrigger;
            table.updateTrigger = owner->updateTrigger;
            table.deleteTrigger = owner->deleteTrigger;
            table.primaryKey = owner->primaryKey;
        }
        addFields(table, stored, owner);
        checkRecordLength(table, stored);
        addMemo(table, stored, path, sourceFolder);
        addIndexes(table, header, path);
        return table;
    }

    void addFields(TableModel &table, const platform::StoredHeader &stored, const platform::ContainerObject *owner)
    {
        const platform::TableHeader &header = stored.header;
        const bool visualFoxPro = header.isVisualFoxPro();
        const qsizetype visible = std::count_if(stored.fields.begin(), stored.fields.end(),
                                                [](const platform::StoredField &field) { return !field.isSystem(); });
        if (owner && owner->fields.size() != visible) {
            addFinding(Severity::Error, table.name,
                       QStringLiteral("The container lists %1 fields for it, its header %2; the fields are the "
                                      "table's own")
                               .arg(owner->fields.size())
                               .arg(visible)
                           + QLatin1String(propertiesUnknownEnding));
            owner = nullptr;
        }
        table.fields.reserve(visible);
        for (const platform::StoredField &descriptor : stored.fields) {
            if (descriptor.isSystem())
                continue;
            FieldModel field;
            field.position = int(table.fields.size()) + 1;
            const platform::ContainerField *known = owner ? &owner->fields[table.fields.size()] : nullptr;
            // Shown as FoxPro shows names, and as the report does.
            if (known && !known->name.isEmpty()) {
                field.name = known->name;
                platform::assignLowerCaseText(field.shortName, descriptor.name, header.codePage);
                if (field.name.compare(field.shortName, Qt::CaseInsensitive) == 0)
                    field.shortName.clear();
            } else {
                platform::assignLowerCaseText(field.name, descriptor.name, header.codePage);
            }
            if (known) {
                field.defaultValue = known->defaultValue;
                field.rule = known->rule;
                field.ruleText = known->ruleText;
                field.caption = known->caption;
                field.format = known->format;
                field.inputMask = known->inputMask;
                field.comment = known->comment;
            }
            field.type = descriptor.type;
            field.typeName = fieldTypeName(descriptor.type, header.version);
            field.width = descriptor.width;
            field.decimals = descriptor.decimals;
            field.nullable = visualFoxPro && descriptor.isNullable();
            field.binary = visualFoxPro && descriptor.isBinary()
                && (descriptor.type == 'C' || descriptor.type == 'M' || descriptor.type == 'V');
            field.autoIncrement = descriptor.isAutoIncrement();
            if (field.autoIncrement) {
                field.nextValue = descriptor.nextValue;
                field.step = descriptor.step;
            }
            table.fields.append(std::move(field));
        }
    }

    void checkRecordLength(const TableModel &table, const platform::StoredHeader &stored)
    {
        int total = 1;
        for (const platform::StoredField &field : stored.fields)
            total += field.width;
        if (total != stored.header.recordLength)
            addFinding(Severity::Error, table.name,
                       QStringLiteral("Its header gives records of %1 bytes, but its fields and the deletion flag "
                                      "take %2.")
                           .arg(stored.header.recordLength)
                           .arg(total));
    }

    void addMemo(TableModel &table, const platform::StoredHeader &stored, const platform::LocalPath &path,
                 const platform::LocalPath &sourceFolder)
    {
        const platform::TableHeader &header = stored.header;
        const auto isMemo = [&](const platform::StoredField &field) {
            return !field.isSystem() && isMemoLetter(field.type, header.isVisualFoxPro());
        };
        const bool memoFields = std::any_of(stored.fields.begin(), stored.fields.end(), isMemo);
        if (!memoFields && !headerAnnouncesMemo(header))
            return;
        const QString extension = memoExtension(header.version);
        const QString wanted = baseOf(path.fileName()) + QLatin1Char('.') + extension;
        const platform::LocalPath memoPath = m_files.find(path.folder(), wanted);
        MemoModel memo;
        if (memoPath.isEmpty()) {
            memo.file = relativeText(sourceFolder, path.folder().child(platform::LocalPath::fromText(wanted).native()));
            if (memoFields)
                addFinding(Severity::Error, table.name,
                           QStringLiteral("Its memo file %1 is missing.").arg(quoted(wanted)));
            table.memo = memo;
            return;
        }
        memo.file = relativeText(sourceFolder, memoPath);
        memo.present = true;
        try {
            memo.blockSize = blockSizeOf(memoPath, extension, header.version);
        } catch (const Failure &failure) {
            addFinding(Severity::Error, table.name,
                       failure.description() + QStringLiteral(" Its memo file cannot be read."));
        }
        table.memo = memo;
    }

    // .fpt: big-endian at 6. .dbt: dBase III's blocks are always 512 bytes,
    // later dBase gives the size little-endian at 20 (0 read as its 512).
    // .smt: its layout is not known here, so no size is given.
    static int blockSizeOf(const platform::LocalPath &memoPath, const QString &extension, quint8 version)
    {
        QFile file;
        platform::openRegularFile(file, memoPath);
        const QString fileName = platform::displayName(memoPath);
        if (extension == QLatin1String("fpt"))
            return int(platform::MemoFile(file, fileName).blockSize());
        if (extension != QLatin1String("dbt"))
            return 0;
        if (version == 0x83)
            return 512;
        const QByteArray bytes = platform::readAt(file, 20, 2, fileName);
        const int size = platform::littleEndian16(bytes, 0);
        return size == 0 ? 512 : size;
    }

    void addIndexes(TableModel &table, const platform::TableHeader &header, const platform::LocalPath &path)
    {
        const QString wanted = baseOf(path.fileName()) + QStringLiteral(".cdx");
        const platform::LocalPath indexPath = m_files.find(path.folder(), wanted);
        if (indexPath.isEmpty()) {
            if ((header.flags & 0x01) && !header.dBase2)
                addFinding(Severity::Warning, table.name,
                           QStringLiteral("Its header announces a structural index, but there is no %1")
                                   .arg(quoted(wanted))
                               + QLatin1String(tagsUnknownEnding));
            return;
        }
        QList<platform::IndexTag> tags;
        try {
            tags = platform::readCompoundIndex(m_files.open(indexPath), header.codePage);
        } catch (const Failure &failure) {
            addFinding(Severity::Error, table.name,
                       failure.description() + QStringLiteral(" Its index file cannot be read")
                           + QLatin1String(tagsUnknownEnding));
            return;
        }
        for (const platform::IndexTag &tag : std::as_const(tags)) {
            IndexModel index;
            index.name = tag.name;
            index.expression = tag.expression;
            index.filter = tag.filter;
            if (!table.primaryKey.isEmpty() && tag.name.compare(table.primaryKey, Qt::CaseInsensitive) == 0)
                index.kind = TagKind::Primary;
            else if (tag.candidate)
                index.kind = TagKind::Candidate;
            else if (tag.unique)
                index.kind = TagKind::Unique;
            index.descending = tag.descending;
            index.collation = tag.collation.isEmpty() ? QStringLiteral("MACHINE") : tag.collation;
            table.indexes.append(index);
        }
        table.indexesKnown = true;
    }

    static ViewModel viewModel(const platform::ContainerObject &object)
    {
        ViewModel view;
        view.name = object.name;
        view.sql = object.sql;
        view.remote = object.sourceType == 2;
        if (view.remote)
            view.connection = object.connection;
        view.comment = object.comment;
        for (const platform::ContainerField &field : object.fields)
            view.fields.append({field.name, field.dataType, field.comment});
        return view;
    }

    // Each Relation record is kept by its child; the parent is the table its
    // RelatedTable property names.
    QList<RelationModel> relationsAmong(const platform::ContainerModel &container,
                                        const QList<const platform::ContainerObject *> &children)
    {
        QList<RelationModel> relations;
        QSet<const platform::ContainerObject *> inModel(children.begin(), children.end());
        for (const platform::ContainerObject *child : children) {
            for (const platform::ContainerRelation &relation : child->relations) {
                if (relation.parentTable.isEmpty()) {
                    addFinding(Severity::Warning, child->name, QStringLiteral("A relation names no parent table."));
                    continue;
                }
                const platform::ContainerObject *parent = container.findTable(relation.parentTable);
                if (!parent) {
                    addFinding(Severity::Warning, child->name,
                               QStringLiteral("A relation names the parent table %1, which the container does not "
                                              "hold.")
                                   .arg(quoted(relation.parentTable)));
                    continue;
                }
                if (!inModel.contains(parent))
                    continue;
                RelationModel model;
                model.parentTable = parent->name;
                model.parentTag = relation.parentTag;
                model.childTable = child->name;
                model.childTag = relation.childTag;
                model.onUpdate = riWord(relation.riInfo, 0);
                model.onDelete = riWord(relation.riInfo, 1);
                model.onInsert = riWord(relation.riInfo, 2);
                relations.append(model);
            }
        }
        return relations;
    }

    SourceModel &m_source;
    SourceFiles &m_files;
    platform::LocalPath m_baseFolder; // the folder relativeText names files from, and its text
    QString m_baseText;
    QList<const platform::ContainerObject *> m_children;     // the container's tables read
    QStringList m_tableNames;
    QStringList m_viewNames;
    QList<QString> m_codePageNames; // by mark, each made when first met
};

} // namespace

QString fieldTypeName(char letter)
{
    switch (letter) {
    case 'C': return QStringLiteral("Character");
    case 'Y': return QStringLiteral("Currency");
    case 'N': return QStringLiteral("Numeric");
    case 'F': return QStringLiteral("Float");
    case 'D': return QStringLiteral("Date");
    case 'T': return QStringLiteral("DateTime");
    case 'B': return QStringLiteral("Double");
    case 'I': return QStringLiteral("Integer");
    case 'L': return QStringLiteral("Logical");
    case 'M': return QStringLiteral("Memo");
    case 'G': return QStringLiteral("General");
    case 'P': return QStringLiteral("Picture");
    case 'V': return QStringLiteral("Varchar");
    case 'Q': return QStringLiteral("Varbinary");
    case 'W': return QStringLiteral("Blob");
    case '0': return QStringLiteral("_NullFlags");
    case '@': return QStringLiteral("Timestamp");
    case '+': return QStringLiteral("Autoincrement");
    case 'O': return QStringLiteral("Double");
    default:
        break;
    }
    const uchar byte = uchar(letter);
    if (byte > 0x20 && byte < 0x7F)
        return QStringLiteral("Unknown (%1)").arg(QLatin1Char(letter));
    return QStringLiteral("Unknown (%1)").arg(platform::hexByte(byte));
}

QString fieldTypeName(char letter, quint8 version)
{
    if (!platform::isVisualFoxProVersion(version)) {
        if (letter == 'B')
            return QStringLiteral("Binary");
        if (letter == 'V')
            return QStringLiteral("Variant");
    }
    return fieldTypeName(letter);
}

bool isResourceTable(const QString &name)
{
    return name == QLatin1String("foxuser");
}

QString dialectName(quint8 version)
{
    switch (version) {
    case 0x02: case 0xFB: return QStringLiteral("FoxBASE");
    case 0x03: case 0x83: return QStringLiteral("dBase III");
    case 0x04: case 0x8C: return QStringLiteral("dBase 7");
    case 0x05: return QStringLiteral("dBase V");
    case 0x07: case 0x87: return QStringLiteral("Visual Objects");
    case 0x30: case 0x31: return QStringLiteral("Visual FoxPro");
    case 0x32: return QStringLiteral("Visual FoxPro 9");
    case 0x43: case 0x8E: case 0xCB: return QStringLiteral("dBase IV SQL table");
    case 0x63: return QStringLiteral("dBase IV SQL system");
    case 0x7B: case 0x8B: return QStringLiteral("dBase IV");
    case 0xE5: return QStringLiteral("HiPer-Six");
    case 0xF5: return QStringLiteral("FoxPro 2.x");
    default: return QStringLiteral("Unknown (%1)").arg(platform::hexByte(version));
    }
}

QString codePageName(quint8 mark)
{
    if (mark == 0)
        return {};
    const int codePage = platform::codePageOfMark(mark);
    if (codePage == 0)
        return QStringLiteral("mark %1").arg(platform::hexByte(mark));
    return QStringLiteral("%1 (%2)").arg(codePage).arg(QLatin1String(platform::codePageDescription(codePage)));
}

SourceModel readSourceModel(const QString &path, const QStringList &selection)
{
    QList<TableModel> tables;
    SourceModel source = readSourceModel(
        path, selection, [](const SourceModel &) {},
        [&](TableModel &&table) { tables.append(std::move(table)); });
    source.tables = std::move(tables);
    return source;
}

SourceModel readSourceModel(const QString &path, const QStringList &selection,
                            const std::function<void(const SourceModel &facts)> &begin,
                            const std::function<void(TableModel &&table)> &table)
{
    SourceReader reader(path);
    QStringList names = reader.tableNames();
    names += reader.viewNames();
    QList<qsizetype> tables;
    QList<qsizetype> views;
    for (const qsizetype i : reader.selected(names, selection)) {
        if (i < reader.tableNames().size())
            tables.append(i);
        else
            views.append(i - reader.tableNames().size());
    }
    begin(reader.facts());
    for (const qsizetype i : std::as_const(tables)) {
        if (std::optional<TableModel> read = reader.readTable(i))
            table(*std::move(read));
    }
    return reader.takeRest(views);
}

struct SourceReader::Reading {
    explicit Reading(std::shared_ptr<SourceFiles> sourceFiles) : filesHeld(std::move(sourceFiles)) {}

    // Shared with the snapshot's reader of the same path, when there is one.
    std::shared_ptr<SourceFiles> filesHeld;
    SourceFiles &files = *filesHeld;
    SourceModel source;
    ModelReader reader{source, files};
    ImpliedRelationFinder implied; // over the tables read

    // The descriptions the data access objects are given. A container's are
    // all kept: its model is in memory already, and a lookup of any of them
    // stays a lookup. A folder's tables are many and a report describes each
    // once, so only the one in hand is kept.
    QHash<QString, std::shared_ptr<TableDescription>> kept;
    QString lastKey;
    QString lastName; // shares its text with the caller's, so a repeat is one pointer test
    std::shared_ptr<TableDescription> last;
    QList<ColumnDescription> spareColumns;
};

SourceReader::SourceReader(const QString &path) : m_reading(std::make_unique<Reading>(filesFor(path)))
{
    m_reading->source.path = path;
    if (m_reading->files.kind() == SourceKind::Folder) {
        m_reading->source.kind = SourceModel::Kind::Folder;
        m_reading->reader.openFolder();
    } else {
        m_reading->source.kind = SourceModel::Kind::Container;
        m_reading->reader.openContainer();
    }
}

SourceReader::SourceReader(const QString &path, bool snapshot, Access)
    : m_reading(std::make_unique<Reading>(std::make_shared<SourceFiles>(path, snapshot)))
{
}

// Within a snapshot, the files of the reader already open for the path (its
// listing, its container, the containers its tables link to), so a command
// lists and parses its source once; otherwise the source's files, listed
// once for this reading.
std::shared_ptr<SourceFiles> SourceReader::filesFor(const QString &path)
{
    if (currentSnapshot) {
        if (const std::shared_ptr<SourceReader> opened = currentSnapshot->m_readers.value(path))
            return opened->m_reading->filesHeld;
    }
    return std::make_shared<SourceFiles>(path, true);
}

SourceSnapshot::SourceSnapshot() : m_outer(currentSnapshot)
{
    currentSnapshot = this;
}

SourceSnapshot::~SourceSnapshot()
{
    currentSnapshot = m_outer;
}

std::shared_ptr<SourceReader> SourceReader::open(const QString &path)
{
    SourceSnapshot *const snapshot = currentSnapshot;
    if (snapshot) {
        if (std::shared_ptr<SourceReader> opened = snapshot->m_readers.value(path))
            return opened;
    }
    std::shared_ptr<SourceReader> reader(new SourceReader(path, snapshot != nullptr, Access{}));
    if (snapshot)
        snapshot->m_readers.insert(path, reader);
    return reader;
}

QList<TableEntry> SourceReader::entries()
{
    return m_reading->files.entries();
}

std::shared_ptr<const TableDescription> SourceReader::describe(const QString &name)
{
    Reading &r = *m_reading;
    // A report asks for one table's fields one after the other, under the
    // very same name: a repeat is one pointer test.
    if (r.last && r.lastName.constData() == name.constData() && r.lastName.size() == name.size())
        return r.last;
    // Other spellings of a name find the same table: the key is the table's.
    const QString key = r.files.keyOf(name);
    if (!r.last || key != r.lastKey) {
        const bool keep = r.files.kind() == SourceKind::Container;
        // A description nobody else holds any more lends its storage to the next.
        if (r.last && r.last.use_count() == 1 && !keep)
            r.spareColumns = std::move(*r.last).takeColumns();
        r.last.reset();
        const auto kept = r.kept.constFind(key);
        if (kept != r.kept.constEnd()) {
            r.last = kept.value();
        } else {
            r.last = std::make_shared<TableDescription>(r.files.describe(name, std::exchange(r.spareColumns, {})));
            if (keep)
                r.kept.insert(key, r.last);
        }
        r.lastKey = key;
    }
    r.lastName = name;
    return r.last;
}

SourceFiles &SourceReader::files()
{
    return m_reading->files;
}

SourceReader::~SourceReader() = default;

const QStringList &SourceReader::tableNames() const
{
    return m_reading->reader.tableNames();
}

const QStringList &SourceReader::viewNames() const
{
    return m_reading->reader.viewNames();
}

std::optional<TableModel> SourceReader::readTable(qsizetype index)
{
    std::optional<TableModel> table = m_reading->reader.table(index);
    if (table)
        m_reading->implied.add(*table);
    return table;
}

SourceModel sourceFacts(const SourceModel &source)
{
    SourceModel facts;
    facts.kind = source.kind;
    facts.path = source.path;
    facts.comment = source.comment;
    facts.codePageMark = source.codePageMark;
    return facts;
}

SourceModel SourceReader::facts() const
{
    return sourceFacts(m_reading->source);
}

const QList<Finding> &SourceReader::findings() const
{
    return m_reading->source.findings;
}

QList<qsizetype> SourceReader::selected(const QStringList &names, const QStringList &selection)
{
    return m_reading->reader.selected(names, selection);
}

SourceModel SourceReader::takeRest(const QList<qsizetype> &views)
{
    for (const qsizetype i : views)
        m_reading->source.views.append(m_reading->reader.view(i));
    m_reading->reader.addRelations();
    m_reading->source.impliedRelations = m_reading->implied.relations(m_reading->source.relations);
    return std::move(m_reading->source);
}

ModelGap gapOf(const Finding &finding)
{
    if (finding.message.endsWith(QLatin1String(tagsUnknownEnding)))
        return ModelGap::Tags;
    if (finding.message.endsWith(QLatin1String(propertiesUnknownEnding)))
        return ModelGap::FieldProperties;
    if (finding.severity == Severity::Error && finding.message.endsWith(QLatin1String(leftOutEnding)))
        return ModelGap::Table;
    return ModelGap::None;
}

} // namespace model
