#include "app/cli/json_object.h"

#include <cmath>

#include "app/commands/format.h"

namespace cli {

QString JsonString(const QString& text) {
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"': out += QStringLiteral("\\\""); break;
        case '\\': out += QStringLiteral("\\\\"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                out += QStringLiteral("\\u%1").arg(static_cast<int>(c.unicode()), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out + QStringLiteral("\"");
}

JsonObject& JsonObject::text(const QString& key, const QString& value) { return raw(key, JsonString(value)); }

JsonObject& JsonObject::number(const QString& key, float value) {
    return raw(key, std::isfinite(value) ? app::FileNumberText(value) : QStringLiteral("null"));
}

JsonObject& JsonObject::integer(const QString& key, long long value) { return raw(key, QString::number(value)); }

JsonObject& JsonObject::raw(const QString& key, const QString& json) {
    members_ << JsonString(key) + QStringLiteral(": ") + json;
    return *this;
}

QString JsonObject::toString() const {
    return QStringLiteral("{") + members_.join(QStringLiteral(", ")) + QStringLiteral("}");
}

}  // namespace cli
