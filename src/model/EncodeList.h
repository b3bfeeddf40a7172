#pragma once

#include "JsonWriter.h"

#include <algorithm>

namespace hourloom {

// Writes a list of records held through an interface as an array of their upload forms.
// Only the Concrete record class has an upload form: a list holding any other implementation
// is written as null.
template <typename Concrete, typename List>
bool hasUploadForm(const List &list)
{
    return std::all_of(list.cbegin(), list.cend(), [](const auto &element) { return dynamic_cast<const Concrete *>(element.get()); });
}

template <typename Concrete, typename List>
void encodeListOf(const List &list, JsonWriter &writer)
{
    if (!hasUploadForm<Concrete>(list)) {
        writer.null();
        return;
    }
    writer.beginArray();
    for (const auto &element : list)
        static_cast<const Concrete &>(*element).encode(writer);
    writer.endArray();
}

} // namespace hourloom
