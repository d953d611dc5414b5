#pragma once

#include <QString>

namespace tsy {

// Per-user text values addressed by application, section and key.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual QString Read(const QString& app, const QString& section, const QString& key,
                         const QString& defaultValue) = 0;
    virtual void Write(const QString& app, const QString& section, const QString& key,
                       const QString& value) = 0;
};

}  // namespace tsy
