// One JSON object on one line, its keys in the order they were added.
#pragma once

#include <QString>
#include <QStringList>

namespace cli {

// A JSON string literal: quotes, backslashes and control characters escaped.
QString JsonString(const QString& text);

class JsonObject {
public:
    JsonObject& text(const QString& key, const QString& value);
    // A finite number in the file format ("." whatever the locale); null otherwise.
    JsonObject& number(const QString& key, float value);
    JsonObject& integer(const QString& key, long long value);
    // `json` is already JSON (an object, a list, null).
    JsonObject& raw(const QString& key, const QString& json);
    QString toString() const;

private:
    QStringList members_;
};

}  // namespace cli
