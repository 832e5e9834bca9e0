// The interface state that the camera view and its layer panel keep in the standard user
// defaults, under the outlet's name: integers for switches and check boxes, the selected title
// for pop-up buttons.
//
// A pop-up button is a QComboBox (its entries are its menu). A pop-up outlet that is missing or
// is not a pop-up button has no menu: the load or store is reported ("[popup menu]" under
// "NSUserDefaultLoad" or "NSUserDefaultSave") and nothing is selected or stored.
#pragma once

#include <QObject>
#include <QString>

namespace LumoraControlDefaults {

// A switch's integer value: an NSButton's state, a Qt button's check (1 or 0), else the
// object's "intValue" property; 0 for null.
int intValue(const QObject *control);
// Sets it the same way (a Qt button is checked for a non-zero value); no action is sent.
void setIntValue(QObject *control, int value);

// The integer stored under the key when it is a number, else the default.
int loadInteger(const char *key, int defaultValue);
// Stores the integer and writes the defaults.
void saveInteger(const char *key, int value);

// Selects the first entry whose title is the stored string (the default when nothing of that
// kind is stored), without sending the pop-up's action; a title the pop-up lacks changes
// nothing.
void loadPopUpTitle(QObject *popUp, const char *key, const QString &defaultTitle);
// Stores the selected entry's title (the first entry when none is current); an empty pop-up
// stores nothing.
void savePopUpTitle(QObject *popUp, const char *key);

}  // namespace LumoraControlDefaults

bool import_LumoraControlDefaults();
