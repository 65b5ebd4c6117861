#include "GnomeProxySettings.h"

#include "core/transfer/SystemProxy.h"

#undef signals // GLib's headers name a member "signals".
#include <gio/gio.h>

namespace {
const char SchemaId[] = "org.gnome.system.proxy";

QString text(GSettings* settings, const char* key)
{
    gchar* value = g_settings_get_string(settings, key);
    const QString result = QString::fromUtf8(value);
    g_free(value);
    return result;
}

QStringList texts(GSettings* settings, const char* key)
{
    gchar** values = g_settings_get_strv(settings, key);
    QStringList result;
    for (gchar** value = values; value && *value; ++value) {
        result << QString::fromUtf8(*value);
    }
    g_strfreev(values);
    return result;
}
} // namespace

GnomeProxySettings::GnomeProxySettings()
{
    if (!SystemProxy::desktopDecides()) {
        return;
    }
    // Without the schema GSettings would abort the process.
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    GSettingsSchema* schema = source ? g_settings_schema_source_lookup(source, SchemaId, TRUE) : nullptr;
    if (!schema) {
        return;
    }
    g_settings_schema_unref(schema);
    GSettings* settings = g_settings_new(SchemaId);
    const QString modeName = text(settings, "mode");
    if (modeName == QLatin1String("auto")) {
        mode = Mode::Automatic;
        pacUrl = text(settings, "autoconfig-url");
    } else if (modeName == QLatin1String("manual")) {
        mode = Mode::Manual;
        ignoredHosts = texts(settings, "ignore-hosts");
    } else {
        mode = Mode::None;
    }
    g_object_unref(settings);
}
