#pragma once

// How much of a table is documented: its fields with a comment, with a
// caption, with either (text of spaces alone is none). The dictionaries and
// the checks count it alike.

#include "model/sourcemodel.h"

namespace model {

struct Coverage {
    int fields = 0;
    int comment = 0;
    int caption = 0;
    int either = 0;

    Coverage &operator+=(const Coverage &other);
    // The share of fields with either, as a whole percentage rounded down;
    // -1 for no field.
    int percent() const;
};

Coverage coverageOf(const TableModel &table);
// Whether the field has a comment or a caption.
bool isDocumented(const FieldModel &field);

} // namespace model
