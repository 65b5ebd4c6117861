// GIO's settings, opened on the first read of GNOME's proxy settings, which happens only in a
// GNOME session: linked, GIO and GObject with their own dependencies would be mapped and
// searched by every symbol lookup of every start. Without the library nothing is read.
#include "core/LazyLibrary.h"

#undef signals // GLib's headers name a member "signals".
#include <gio/gio.h>

namespace {
const LazyLibrary Gio {"gio-2.0", 0};
} // namespace

extern "C" {
GSettingsSchemaSource* g_settings_schema_source_get_default()
{
    static const auto call =
        Gio.function<decltype(&g_settings_schema_source_get_default)>("g_settings_schema_source_get_default");
    return call ? call() : nullptr;
}

GSettingsSchema* g_settings_schema_source_lookup(GSettingsSchemaSource* source, const gchar* id, gboolean recursive)
{
    static const auto call =
        Gio.function<decltype(&g_settings_schema_source_lookup)>("g_settings_schema_source_lookup");
    return call ? call(source, id, recursive) : nullptr;
}

void g_settings_schema_unref(GSettingsSchema* schema)
{
    static const auto call = Gio.function<decltype(&g_settings_schema_unref)>("g_settings_schema_unref");
    call(schema);
}

GSettings* g_settings_new(const gchar* id)
{
    static const auto call = Gio.function<decltype(&g_settings_new)>("g_settings_new");
    return call(id);
}

gchar* g_settings_get_string(GSettings* settings, const gchar* key)
{
    static const auto call = Gio.function<decltype(&g_settings_get_string)>("g_settings_get_string");
    return call(settings, key);
}

gchar** g_settings_get_strv(GSettings* settings, const gchar* key)
{
    static const auto call = Gio.function<decltype(&g_settings_get_strv)>("g_settings_get_strv");
    return call(settings, key);
}

// GObject comes with GIO; the settings object is the only one released here.
void g_object_unref(gpointer object)
{
    static const auto call = Gio.function<decltype(&g_object_unref)>("g_object_unref");
    call(object);
}
}
