#include "support/jsonschema.h"

#include "support/testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

namespace testsupport {

namespace {

QString TypeName(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Null: return "null";
    case QJsonValue::Bool: return "boolean";
    case QJsonValue::Double: return "number";
    case QJsonValue::String: return "string";
    case QJsonValue::Array: return "array";
    case QJsonValue::Object: return "object";
    default: return "undefined";
    }
}

bool TypeFits(const QJsonValue& value, const QJsonValue& type)
{
    const QJsonArray names = type.isArray() ? type.toArray() : QJsonArray{type};
    for (const QJsonValue& name : names)
        if (name.toString() == TypeName(value))
            return true;
    return false;
}

std::string Mismatch(const QJsonValue& value, const QJsonObject& schema, const QJsonObject& root,
                     const std::string& where);

std::string ObjectMismatch(const QJsonObject& object, const QJsonObject& schema,
                           const QJsonObject& root, const std::string& where)
{
    for (const QJsonValue& name : schema.value("required").toArray())
        if (!object.contains(name.toString()))
            return where + ": no " + name.toString().toStdString();
    const QJsonObject properties = schema.value("properties").toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const std::string at = where + "/" + it.key().toStdString();
        if (properties.contains(it.key())) {
            const std::string inner =
                Mismatch(it.value(), properties.value(it.key()).toObject(), root, at);
            if (!inner.empty())
                return inner;
        } else if (schema.value("additionalProperties") == QJsonValue(false)) {
            return at + ": not in the schema";
        }
    }
    return std::string();
}

std::string Mismatch(const QJsonValue& value, const QJsonObject& schema, const QJsonObject& root,
                     const std::string& where)
{
    static const QSet<QString> kKnown = {"$schema", "$id", "$defs", "title", "description",
                                         "type", "enum", "required", "properties",
                                         "additionalProperties", "items", "anyOf", "$ref"};
    for (const QString& word : schema.keys())
        if (!kKnown.contains(word))
            return where + ": the schema word " + word.toStdString() + " is not checked";
    if (schema.contains("$ref")) {
        const QString ref = schema.value("$ref").toString();
        const QString prefix = "#/$defs/";
        if (!ref.startsWith(prefix))
            return where + ": cannot follow " + ref.toStdString();
        return Mismatch(value, root.value("$defs").toObject().value(ref.mid(prefix.size())).toObject(),
                        root, where);
    }
    if (schema.contains("anyOf")) {
        std::string all;
        for (const QJsonValue& option : schema.value("anyOf").toArray()) {
            const std::string inner = Mismatch(value, option.toObject(), root, where);
            if (inner.empty())
                return std::string();
            all += (all.empty() ? "" : " | ") + inner;
        }
        return all;
    }
    if (schema.contains("type") && !TypeFits(value, schema.value("type")))
        return where + ": " + TypeName(value).toStdString() + " where the schema wants " +
               QJsonDocument(QJsonArray{schema.value("type")}).toJson(QJsonDocument::Compact).toStdString();
    if (schema.contains("enum") && !schema.value("enum").toArray().contains(value))
        return where + ": not one of the enum";
    if (value.isObject())
        return ObjectMismatch(value.toObject(), schema, root, where);
    if (value.isArray() && schema.contains("items")) {
        const QJsonArray items = value.toArray();
        for (qsizetype i = 0; i < items.size(); ++i) {
            const std::string inner = Mismatch(items[i], schema.value("items").toObject(), root,
                                               where + "/" + std::to_string(i));
            if (!inner.empty())
                return inner;
        }
    }
    return std::string();
}

}  // namespace

std::string SchemaMismatch(const QJsonValue& value, const QJsonObject& schema,
                           const QJsonObject& root)
{
    return Mismatch(value, schema, root, "");
}

QJsonObject ReadJsonObject(const std::string& path)
{
    QJsonParseError error;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(ReadFile(path)), &error);
    EXPECT_EQ(QJsonParseError::NoError, error.error) << path << ": " << error.errorString().toStdString();
    return document.object();
}

}  // namespace testsupport
