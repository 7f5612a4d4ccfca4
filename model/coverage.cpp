#include "model/coverage.h"

#include <QtMath>

namespace model {

Coverage &Coverage::operator+=(const Coverage &other)
{
    fields += other.fields;
    comment += other.comment;
    caption += other.caption;
    either += other.either;
    return *this;
}

int Coverage::percent() const
{
    // Rounded down: 100% only when every field is documented.
    return fields == 0 ? -1 : int(qint64(100) * either / fields);
}

Coverage coverageOf(const TableModel &table)
{
    Coverage coverage;
    coverage.fields = int(table.fields.size());
    for (const FieldModel &field : table.fields) {
        const bool comment = !field.comment.trimmed().isEmpty();
        const bool caption = !field.caption.trimmed().isEmpty();
        coverage.comment += comment;
        coverage.caption += caption;
        coverage.either += comment || caption;
    }
    return coverage;
}

bool isDocumented(const FieldModel &field)
{
    return !field.comment.trimmed().isEmpty() || !field.caption.trimmed().isEmpty();
}

} // namespace model
