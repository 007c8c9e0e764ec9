#include "cmd/jsonfields.h"

#include "cmd/exitcodes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <functional>

namespace {

struct Field {
    std::string object;
    std::string name;
    std::string type;
    std::string meaning;
};

/// "string", "string or null", "array of component", "package", "\"server\" or \"cache\"".
std::string TypeText(const QJsonObject& property)
{
    auto joined = [](const QJsonArray& values, bool quoted) {
        std::string text;
        for (const QJsonValue& value : values) {
            const std::string word = value.toString().toStdString();
            text += (text.empty() ? "" : " or ") + (quoted ? "\"" + word + "\"" : word);
        }
        return text;
    };
    if (property.contains("$ref"))
        return property.value("$ref").toString().section('/', -1).toStdString();
    if (property.contains("enum"))
        return joined(property.value("enum").toArray(), true);
    const QJsonValue type = property.value("type");
    if (type.toString() == "array")
        return "array of " + TypeText(property.value("items").toObject());
    return joined(type.isArray() ? type.toArray() : QJsonArray{type}, false);
}

/// Every field of every object of the schema's definitions, by object name, then field name.
std::vector<Field> Fields(const std::string& schemaText)
{
    const QJsonObject definitions =
        QJsonDocument::fromJson(QByteArray::fromStdString(schemaText)).object().value("$defs").toObject();
    std::vector<Field> fields;
    for (auto object = definitions.begin(); object != definitions.end(); ++object) {
        const QJsonObject properties = object.value().toObject().value("properties").toObject();
        for (auto field = properties.begin(); field != properties.end(); ++field) {
            const QJsonObject property = field.value().toObject();
            fields.push_back({object.key().toStdString(), field.key().toStdString(),
                              TypeText(property),
                              property.value("description").toString().toStdString()});
        }
    }
    return fields;
}

}  // namespace

std::string JsonFieldMarkdown(const std::string& schemaText)
{
    std::string text = "| object | field | type | meaning |\n|---|---|---|---|\n";
    for (const Field& field : Fields(schemaText))
        text += "| " + field.object + " | `" + field.name + "` | " + field.type + " | " +
                field.meaning + " |\n";
    return text;
}

std::string JsonFieldRoff(const std::string& schemaText)
{
    std::string text;
    for (const Field& field : Fields(schemaText))
        text += ".TP\n.B " + RoffText(field.object + "." + field.name) + "\n" +
                RoffText(field.type) + (field.meaning.empty() ? "" : ": " + RoffText(field.meaning)) +
                "\n";
    return text;
}

bool ReplaceJsonFieldBlock(const std::string& document, const std::string& schemaText,
                           std::string* updated)
{
    return ReplaceGeneratedBlock(document, "json-fields", JsonFieldMarkdown(schemaText),
                                 JsonFieldRoff(schemaText), updated);
}
