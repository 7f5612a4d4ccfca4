#pragma once

// The model's properties, each described once: the key the JSON dictionary
// writes it under and the difference names it by, the kind of its value,
// the values a dictionary may hold, and how the difference compares it. The
// JSON writer, its loader and the difference go by these lists in their
// order, so a new property is one line here. A property that is a part of
// its own (a table's fields, its memo, a field's type letter) is only named
// here, in its place, and written, read and compared by its owner's code.

#include "model/sourcemodel.h"

#include <QList>
#include <QString>

namespace model {

// How the difference compares a property: not at all, as it is, or as a
// name (equal but for case is equal).
enum class Compared { No, AsIs, AsName };

template <class Model>
struct Property {
    // Choice: a text that is one of `words` or empty, which a dictionary
    // holds as null.
    enum class Kind { Text, Number, Boolean, Word, Choice, Part };
    const char *key;
    Kind kind;
    Compared compared;
    QString Model::*text = nullptr; // Text and Choice
    // Text: what a dictionary holds for an empty one, which it never holds
    // empty; none: as it is.
    const char *whenEmpty = nullptr;
    // Number, Boolean (0 or 1) and Word (the index of its word).
    qint64 (*value)(const Model &) = nullptr;
    void (*setValue)(Model &, qint64) = nullptr;
    qint64 least = 0; // Number: the values a dictionary may hold
    qint64 most = 0;
    // Word: the words, in the order of the values they stand for; Choice:
    // the words it may be.
    QList<const char *> words = {};
    // The key of the Boolean property of the same model without which this
    // one is not there, and that property's value: a dictionary holds null
    // for it then, and the difference compares it only when both sides have it.
    const char *presentWith = nullptr;
    bool (*present)(const Model &) = nullptr;
    // A key that documents written before it was added lack: read as the
    // model's default when missing.
    bool addedLater = false;
};

// The words of a tag's kind, in TagKind's order: "primary", "candidate", …
const QList<const char *> &tagKindWords();
// The words of a referential rule: "cascade", "restrict", "ignore".
const QList<const char *> &ruleWords();
// The words of a finding's severity, in Severity's order: "warning", "error".
const QList<const char *> &severityWords();

const QList<Property<FieldModel>> &fieldProperties();
const QList<Property<IndexModel>> &indexProperties();
const QList<Property<TableModel>> &tableProperties();
const QList<Property<ViewModel>> &viewProperties();
const QList<Property<RelationModel>> &relationProperties();
const QList<Property<MemoModel>> &memoProperties();
const QList<Property<Finding>> &findingProperties();
// The source's own facts; its lists are parts of the document of their own.
const QList<Property<SourceModel>> &sourceProperties();

// Whether the property is there in `model`.
template <class Model>
bool isPresent(const Property<Model> &property, const Model &model)
{
    return !property.present || property.present(model);
}

} // namespace model
