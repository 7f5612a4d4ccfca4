#pragma once

// The tables of a report as the table window's list would give them: names in
// list order, each selected or not. For the tests and the benchmarks that
// call the report writer directly.

#include "export/report/structurereport.h"

#include <QList>
#include <QStringList>

class ListSelection final : public report::TableSelection {
public:
    QStringList names;
    QList<bool> selected;

    // Every name selected.
    explicit ListSelection(QStringList items) : names(std::move(items)), selected(names.size(), true) {}
    ListSelection(QStringList items, QList<bool> flags) : names(std::move(items)), selected(std::move(flags)) {}

    int count() const override { return int(names.size()); }
    QString text(int index) const override { return names.at(index); }
    bool isSelected(int index) const override { return selected.at(index); }
};
