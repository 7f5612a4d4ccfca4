#include "model/properties.h"

#include <limits>

namespace model {

namespace {

template <class>
struct MemberOf;
template <class M, class T>
struct MemberOf<T M::*> {
    using Model = M;
    using Type = T;
};
template <auto member>
using ModelOf = typename MemberOf<decltype(member)>::Model;
template <auto member>
using TypeOf = typename MemberOf<decltype(member)>::Type;

template <auto member>
qint64 valueOf(const ModelOf<member> &model)
{
    return qint64(model.*member);
}

template <auto member>
void setValueOf(ModelOf<member> &model, qint64 value)
{
    model.*member = static_cast<TypeOf<member>>(value);
}

template <auto member>
Property<ModelOf<member>> text(const char *key, Compared compared, const char *whenEmpty = nullptr)
{
    Property<ModelOf<member>> property{key, Property<ModelOf<member>>::Kind::Text, compared};
    property.text = member;
    property.whenEmpty = whenEmpty;
    return property;
}

template <auto member>
bool isSet(const ModelOf<member> &model)
{
    return model.*member;
}

template <auto member>
Property<ModelOf<member>> number(const char *key, qint64 least, qint64 most, Compared compared)
{
    Property<ModelOf<member>> property{key, Property<ModelOf<member>>::Kind::Number, compared};
    property.value = valueOf<member>;
    property.setValue = setValueOf<member>;
    property.least = least;
    property.most = most;
    return property;
}

// The same, there only when the Boolean `condition`, named `conditionKey`, is set.
template <auto member, auto condition>
Property<ModelOf<member>> numberWith(const char *key, qint64 least, qint64 most, Compared compared,
                                     const char *conditionKey)
{
    Property<ModelOf<member>> property = number<member>(key, least, most, compared);
    property.presentWith = conditionKey;
    property.present = isSet<condition>;
    return property;
}

template <auto member>
Property<ModelOf<member>> boolean(const char *key, Compared compared)
{
    Property<ModelOf<member>> property{key, Property<ModelOf<member>>::Kind::Boolean, compared};
    property.value = valueOf<member>;
    property.setValue = setValueOf<member>;
    return property;
}

template <auto member>
Property<ModelOf<member>> word(const char *key, QList<const char *> words, Compared compared)
{
    Property<ModelOf<member>> property{key, Property<ModelOf<member>>::Kind::Word, compared};
    property.value = valueOf<member>;
    property.setValue = setValueOf<member>;
    property.words = std::move(words);
    return property;
}

template <auto member>
Property<ModelOf<member>> choice(const char *key, QList<const char *> words, Compared compared)
{
    Property<ModelOf<member>> property{key, Property<ModelOf<member>>::Kind::Choice, compared};
    property.text = member;
    property.words = std::move(words);
    return property;
}

template <class Model>
Property<Model> later(Property<Model> property)
{
    property.addedLater = true;
    return property;
}

template <class Model>
Property<Model> part(const char *key)
{
    return {key, Property<Model>::Kind::Part, Compared::No};
}

constexpr qint64 intMax = std::numeric_limits<int>::max();
constexpr qint64 intMin = std::numeric_limits<int>::min();
constexpr qint64 int64Max = std::numeric_limits<qint64>::max();
constexpr qint64 int64Min = std::numeric_limits<qint64>::min();
constexpr qint64 uint32Max = std::numeric_limits<quint32>::max();

using C = Compared;

} // namespace

const QList<const char *> &tagKindWords()
{
    static const QList<const char *> words = {"primary", "candidate", "unique", "regular"};
    return words;
}

const QList<const char *> &ruleWords()
{
    static const QList<const char *> words = {"cascade", "restrict", "ignore"};
    return words;
}

const QList<const char *> &severityWords()
{
    static const QList<const char *> words = {"warning", "error"};
    return words;
}

const QList<Property<FieldModel>> &fieldProperties()
{
    static const QList<Property<FieldModel>> properties = {
        number<&FieldModel::position>("position", 1, intMax, C::No),
        // Fields are paired by name, so their names are not compared.
        text<&FieldModel::name>("name", C::No),
        text<&FieldModel::shortName>("shortName", C::No),
        // The letter as stored; the difference compares it with the type's name.
        part<FieldModel>("type"),
        text<&FieldModel::typeName>("typeName", C::No),
        number<&FieldModel::width>("width", 0, intMax, C::AsIs),
        number<&FieldModel::decimals>("decimals", 0, 255, C::AsIs),
        boolean<&FieldModel::nullable>("nullable", C::AsIs),
        boolean<&FieldModel::binary>("binary", C::AsIs),
        boolean<&FieldModel::autoIncrement>("autoIncrement", C::AsIs),
        // The next value moves with every record added: only the step is structure.
        numberWith<&FieldModel::nextValue, &FieldModel::autoIncrement>("nextValue", int64Min, int64Max, C::No,
                                                                       "autoIncrement"),
        numberWith<&FieldModel::step, &FieldModel::autoIncrement>("step", intMin, intMax, C::AsIs, "autoIncrement"),
        text<&FieldModel::defaultValue>("defaultValue", C::AsIs),
        text<&FieldModel::rule>("rule", C::AsIs),
        text<&FieldModel::ruleText>("ruleText", C::AsIs),
        text<&FieldModel::caption>("caption", C::AsIs),
        text<&FieldModel::format>("format", C::AsIs),
        text<&FieldModel::inputMask>("inputMask", C::AsIs),
        text<&FieldModel::comment>("comment", C::AsIs),
    };
    return properties;
}

const QList<Property<IndexModel>> &indexProperties()
{
    static const QList<Property<IndexModel>> properties = {
        // Tags are paired by name.
        text<&IndexModel::name>("name", C::No),
        word<&IndexModel::kind>("kind", tagKindWords(), C::AsIs),
        text<&IndexModel::expression>("expression", C::AsIs),
        text<&IndexModel::filter>("filter", C::AsIs),
        boolean<&IndexModel::descending>("descending", C::AsIs),
        text<&IndexModel::collation>("collation", C::AsIs, "MACHINE"),
    };
    return properties;
}

const QList<Property<TableModel>> &tableProperties()
{
    static const QList<Property<TableModel>> properties = {
        text<&TableModel::name>("name", C::No),
        text<&TableModel::file>("file", C::No),
        text<&TableModel::dialect>("dialect", C::AsIs),
        number<&TableModel::version>("version", 0, 255, C::No),
        number<&TableModel::codePageMark>("codePageMark", 0, 255, C::No),
        text<&TableModel::codePage>("codePage", C::AsIs),
        number<&TableModel::recordCount>("recordCount", 0, uint32Max, C::No),
        part<TableModel>("lastUpdate"),
        number<&TableModel::headerLength>("headerLength", 0, 65535, C::No),
        number<&TableModel::recordLength>("recordLength", 0, 65535, C::No),
        part<TableModel>("memo"),
        text<&TableModel::comment>("comment", C::AsIs),
        text<&TableModel::rule>("rule", C::AsIs),
        text<&TableModel::ruleText>("ruleText", C::AsIs),
        text<&TableModel::insertTrigger>("insertTrigger", C::AsIs),
        text<&TableModel::updateTrigger>("updateTrigger", C::AsIs),
        text<&TableModel::deleteTrigger>("deleteTrigger", C::AsIs),
        text<&TableModel::primaryKey>("primaryKey", C::AsName),
        part<TableModel>("fields"),
        part<TableModel>("indexes"),
        boolean<&TableModel::indexesKnown>("indexesKnown", C::No),
    };
    return properties;
}

const QList<Property<ViewModel>> &viewProperties()
{
    static const QList<Property<ViewModel>> properties = {
        text<&ViewModel::name>("name", C::No),
        text<&ViewModel::sql>("sql", C::AsIs),
        boolean<&ViewModel::remote>("remote", C::AsIs),
        text<&ViewModel::connection>("connection", C::AsIs),
        text<&ViewModel::comment>("comment", C::AsIs),
        // Compared as the list of their names and data types.
        part<ViewModel>("fields"),
    };
    return properties;
}

const QList<Property<RelationModel>> &relationProperties()
{
    static const QList<Property<RelationModel>> properties = {
        // Relations are paired by their tables and tags.
        text<&RelationModel::parentTable>("parentTable", C::No),
        text<&RelationModel::parentTag>("parentTag", C::No),
        text<&RelationModel::childTable>("childTable", C::No),
        text<&RelationModel::childTag>("childTag", C::No),
        choice<&RelationModel::onUpdate>("onUpdate", ruleWords(), C::AsIs),
        choice<&RelationModel::onDelete>("onDelete", ruleWords(), C::AsIs),
        choice<&RelationModel::onInsert>("onInsert", ruleWords(), C::AsIs),
        later(boolean<&RelationModel::declared>("declared", C::No)),
        later(text<&RelationModel::childField>("childField", C::No)),
    };
    return properties;
}

const QList<Property<MemoModel>> &memoProperties()
{
    static const QList<Property<MemoModel>> properties = {
        text<&MemoModel::file>("file", C::No),
        number<&MemoModel::blockSize>("blockSize", 0, intMax, C::No),
        boolean<&MemoModel::present>("present", C::No),
    };
    return properties;
}

const QList<Property<Finding>> &findingProperties()
{
    static const QList<Property<Finding>> properties = {
        word<&Finding::severity>("severity", severityWords(), C::No),
        text<&Finding::place>("place", C::No),
        text<&Finding::message>("message", C::No),
    };
    return properties;
}

const QList<Property<SourceModel>> &sourceProperties()
{
    static const QList<Property<SourceModel>> properties = {
        word<&SourceModel::kind>("kind", {"folder", "container"}, C::No),
        text<&SourceModel::path>("path", C::No),
        text<&SourceModel::comment>("comment", C::No),
        number<&SourceModel::codePageMark>("codePageMark", 0, 255, C::No),
    };
    return properties;
}

} // namespace model
