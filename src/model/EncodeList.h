#pragma once

#include "JsonWriter.h"

namespace hourloom {

// Writes a list of records held through an interface as an array of their upload forms.
// Only the Concrete record class has an upload form: a list holding any other implementation
// is written as null.
template <typename Concrete, typename List>
void encodeListOf(const List &list, JsonWriter &writer)
{
    for (const auto &element : list) {
        if (!dynamic_cast<const Concrete *>(element.get())) {
            writer.null();
            return;
        }
    }
    writer.beginArray();
    for (const auto &element : list)
        static_cast<const Concrete &>(*element).encode(writer);
    writer.endArray();
}

} // namespace hourloom
