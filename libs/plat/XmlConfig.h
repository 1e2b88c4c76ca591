// The XML form of a parameter set: every parameter with its kind, name,
// description, limits or choices and all its values with their priorities.
// A set is written to that form and built from it (the parameters that the
// document describes are created in the set, or updated in place when the
// set already holds one of that name). Parameters created from a document own
// their texts and stay registered until the process ends.
#pragma once

#include "plat/String.h"

namespace xml {
class XMLNode;
struct XMLResults;
} // namespace xml

namespace plat {

class ParameterSet;

// The text written before "<config>": the XML declaration and the document
// type declaration of the form.
extern const char* const xmlHeader;

// Parses the text, looking for the element "config", and loads it into set.
// Throws plat::Exception as loadXmlConfig does.
void loadXmlConfigText(ParameterSet* set, const char* text);
// Creates or updates in set the parameters that the document under root
// describes; results is the outcome of the parse. Throws plat::Exception
// "XML file not found.", "XML error <line>:<column> <text>" or "Incompatible
// XML config"; parameters loaded before a failure stay in place.
void loadXmlConfig(ParameterSet* set, const xml::XMLNode& root, const xml::XMLResults& results);
// The document for the parameters of set and of the sets linked after it,
// leaving out internal ones (names beginning with '_'); nothing when out is
// null.
void writeXmlConfig(const ParameterSet* set, String* out);

} // namespace plat
