// Single values in the standard user defaults under C-string keys: any value, an integer, the title of
// an exclusive-selection menu's chosen item, and typed loads that fall back to a default.
// Each save synchronises the defaults. A null key (or a null menu) is reported and stores
// nothing; a load then answers the default.
#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

// Stores the value as it is; a nil value is reported ("inObject") and stores nothing.
void NSUserDefaultSaveObject(const char *inValueName, const QVariant &inObject);
// Stores the integer as a number.
void NSUserDefaultSaveObject(const char *inValueName, int value);
// Stores the title of the menu's exclusive selection (its key path
// "exclusiveSelection.title"); a null menu or one without a selected title is reported
// ("inObject") and stores nothing.
void NSUserDefaultSaveObject(const char *inValueName, QObject *inObject);

// The stored value when it is of the expected kind (a number; a string), else the default.
double NSUserDefaultLoadKind(const char *inValueName, double defaultValue);
int NSUserDefaultLoadKind(const char *inValueName, int defaultValue);
QString NSUserDefaultLoadKind(const char *inValueName, const QString &defaultValue);

bool import_NSUIPersistentPrefs();
