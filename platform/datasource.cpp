#include "datasource.h"

#include "codepage.h"
#include "container.h"
#include "dataaccess.h"
#include "fieldtype.h"
#include "fileaccess.h"
#include "tableheader.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace foxpro {

namespace {

Failure doesNotExist(const QString &name)
{
    return Failure(QStringLiteral("File '%1' does not exist.").arg(name), ado::FileDoesNotExist);
}

// Names and types from the header; long names and comments from the
// container's Field records, matched by position among the visible fields.
TableDescription describeTable(const QString &name, TableHeader header, const ContainerObject *owner)
{
    // The header is the description's own: its names are lowered in place.
    QList<ColumnDescription> columns;
    columns.reserve(header.fields.size());
    qsizetype position = 0;
    for (FieldDescriptor &field : header.fields) {
        if (field.isSystem())
            continue;
        const ColumnType type = columnTypeOf(field, header.isVisualFoxPro());
        ColumnDescription column;
        column.type = type.type;
        column.size = type.size;
        if (owner && position < owner->fields.size()) {
            column.name = lowerCase(owner->fields[position].name);
            column.description = owner->fields[position].comment;
        } else {
            column.name = lowerCase(std::move(field.name));
        }
        columns.append(column);
        ++position;
    }
    return TableDescription(name, std::move(columns));
}

TableDescription describeView(const QString &name, const ContainerObject &view)
{
    QList<ColumnDescription> columns;
    for (const ContainerField &field : view.fields) {
        const ColumnType type = columnTypeOfDataType(field.dataType);
        columns.append({lowerCase(field.name), type.type, type.size, field.comment});
    }
    return TableDescription(name, std::move(columns));
}

QString canonical(const QString &path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? QFileInfo(path).absoluteFilePath() : resolved;
}

// A parsed container and where each of its tables' files is.
struct OpenedContainer {
    QString fileName;
    QString folder;
    ContainerModel model;
    QHash<QString, const ContainerObject *> tableByFile; // canonical path of the .dbf

    explicit OpenedContainer(const QString &dbcPath)
        : fileName(displayName(dbcPath)), folder(QFileInfo(dbcPath).path()), model(readContainer(dbcPath))
    {
    }

    QString fileOf(const ContainerObject &table) const
    {
        return resolveCaseInsensitive(folder, table.path);
    }

    const ContainerObject *ownerOf(const QString &tablePath)
    {
        if (tableByFile.isEmpty()) {
            for (const ContainerObject &table : model.tables) {
                const QString file = fileOf(table);
                if (!file.isEmpty())
                    tableByFile.insert(canonical(file), &table);
            }
        }
        return tableByFile.value(canonical(tablePath));
    }
};

class FolderSource : public DataSource {
public:
    explicit FolderSource(QString folder) : m_folder(std::move(folder)) {}

    QList<TableEntry> tables() override
    {
        refreshListing();
        QList<TableEntry> entries;
        for (const QString &name : std::as_const(m_names))
            entries.append({name, false});
        return entries;
    }

protected:
    TableDescription load(const QString &name) override
    {
        const QString key = lowerCase(name);
        if (!m_files.contains(key))
            refreshListing();
        const QString path = m_files.value(key);
        if (path.isEmpty())
            throw doesNotExist(name + QStringLiteral(".dbf"));
        TableHeader header = readTableHeader(path);
        const ContainerObject *owner = ownerOf(header, path);
        return describeTable(name, std::move(header), owner);
    }

private:
    void refreshListing()
    {
        m_files.clear();
        m_names.clear();
        const QDir dir(m_folder);
        const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
        for (const QString &fileName : entries) {
            if (!fileName.endsWith(QLatin1String(".dbf"), Qt::CaseInsensitive) || fileName.size() <= 4)
                continue;
            const QString name = lowerCase(fileName.chopped(4));
            if (!m_files.contains(name))
                m_names.append(name);
            m_files.insert(name, dir.filePath(fileName));
        }
        std::sort(m_names.begin(), m_names.end());
    }

    // The container a Visual FoxPro table links back to, when it is present.
    const ContainerObject *ownerOf(const TableHeader &header, const QString &tablePath)
    {
        if (header.backlink.isEmpty())
            return nullptr;
        const QString dbcPath = resolveCaseInsensitive(QFileInfo(tablePath).path(),
                                                       decodeText(header.backlink, header.codePage));
        if (dbcPath.isEmpty())
            return nullptr;
        const QString key = canonical(dbcPath);
        auto found = m_containers.find(key);
        if (found == m_containers.end()) {
            std::shared_ptr<OpenedContainer> opened;
            try {
                opened = std::make_shared<OpenedContainer>(dbcPath);
            } catch (const Failure &) {
                // A damaged container does not keep its tables from being
                // described: they keep their own short names.
            }
            found = m_containers.insert(key, opened);
        }
        return found.value() ? found.value()->ownerOf(tablePath) : nullptr;
    }

    QString m_folder;
    QStringList m_names;
    QHash<QString, QString> m_files; // lower-case name -> path
    QHash<QString, std::shared_ptr<OpenedContainer>> m_containers;
};

class ContainerSource : public DataSource {
public:
    explicit ContainerSource(const QString &dbcPath) : m_container(dbcPath) {}

    QList<TableEntry> tables() override
    {
        QList<TableEntry> entries;
        for (const ContainerObject &table : std::as_const(m_container.model.tables))
            entries.append({table.name, false});
        for (const ContainerObject &view : std::as_const(m_container.model.views))
            entries.append({view.name, true});
        return entries;
    }

protected:
    TableDescription load(const QString &name) override
    {
        if (const ContainerObject *table = m_container.model.findTable(name)) {
            const QString path = m_container.fileOf(*table);
            if (path.isEmpty())
                throw doesNotExist(table->path);
            return describeTable(name, readTableHeader(path), table);
        }
        if (const ContainerObject *view = m_container.model.findView(name))
            return describeView(name, *view);
        throw Failure(QStringLiteral("Table '%1' does not exist in '%2'.").arg(name, m_container.fileName),
                      ado::FileDoesNotExist);
    }

private:
    OpenedContainer m_container;
};

} // namespace

TableDescription::TableDescription(QString name, QList<ColumnDescription> columns)
    : m_name(std::move(name)), m_columns(std::move(columns))
{
}

const ColumnDescription *TableDescription::findColumn(const QString &name) const
{
    // Names are asked for as the record set gave them, lower case and in
    // order: the exact pass, starting after the last hit, nearly always finds
    // them at once without lowering anything.
    const auto find = [this](const QString &key) -> const ColumnDescription * {
        const qsizetype count = m_columns.size();
        for (qsizetype step = 0; step < count; ++step) {
            const qsizetype i = (m_searchFrom + step) % count;
            if (m_columns[i].name == key) {
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
                      ado::ItemNotFound);
    // The exact spelling first: a case-blind comparison costs more than the lookup.
    if (property != QLatin1String("Description")
        && property.compare(QLatin1String("Description"), Qt::CaseInsensitive) != 0)
        throw Failure(QStringLiteral("Column '%1' of table '%2' has no property '%3'.")
                          .arg(column, m_name, property),
                      ado::ItemNotFound);
    return found->description;
}

std::shared_ptr<const TableDescription> DataSource::describe(const QString &name)
{
    // A report asks for one table's fields one after the other, under the
    // very same name.
    if (m_last && name.constData() == m_lastName.constData() && name.size() == m_lastName.size())
        return m_last;
    m_last.reset();
    m_lastName = name;
    m_last = lookUp(name);
    return m_last;
}

std::shared_ptr<const TableDescription> DataSource::lookUp(const QString &name)
{
    // Every description of an export asks for its table by the listed name.
    auto found = m_described.constFind(name);
    if (found != m_described.constEnd())
        return found.value();
    const QString key = lowerCase(name);
    found = m_described.constFind(key);
    if (found == m_described.constEnd())
        found = m_described.insert(key, std::make_shared<const TableDescription>(load(name)));
    if (key != name)
        m_described.insert(name, found.value());
    return found.value();
}

std::shared_ptr<DataSource> DataSource::open(const QString &path)
{
    if (path.trimmed().isEmpty())
        throw Failure(QStringLiteral("Invalid path or file name."), ado::InvalidPath);
    const QFileInfo info(path);
    const bool containerExpected = info.suffix().compare(QLatin1String("dbc"), Qt::CaseInsensitive) == 0;
    if (!info.exists())
        throw Failure(QStringLiteral("File or folder '%1' does not exist.").arg(QDir::toNativeSeparators(path)),
                      ado::FileDoesNotExist);
    if (info.isDir()) {
        if (containerExpected)
            throw Failure(QStringLiteral("'%1' is a folder, not a database container.")
                              .arg(QDir::toNativeSeparators(path)),
                          ado::InvalidPath);
        return std::make_shared<FolderSource>(path);
    }
    return std::make_shared<ContainerSource>(path);
}

} // namespace foxpro
