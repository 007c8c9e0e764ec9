#pragma once

#include <QJsonObject>
#include <QJsonValue>

#include <string>

namespace testsupport {

/// Checks value against a JSON Schema, of which it knows the words the repository's schemas
/// use: type (a name or a list of names), enum, required, properties, additionalProperties
/// false, items, anyOf, and "$ref" to "#/$defs/NAME" of root. Any other word fails the check,
/// so a schema cannot pass by using what is not checked. Empty when value fits; otherwise
/// where it does not ("/components/0/name: ...").
std::string SchemaMismatch(const QJsonValue& value, const QJsonObject& schema,
                           const QJsonObject& root);

/// The document of a JSON file; fails the test when it does not parse.
QJsonObject ReadJsonObject(const std::string& path);

}  // namespace testsupport
