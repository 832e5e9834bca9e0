// QComponentLoader: registers a component file that ships inside the application bundle
// (Resources first, then PlugIns) with the QuickTime layer's Component Manager, for this
// process only. Start-up calls it for each component the preferences select.
//
// Class operations only. A component not found gives a null path and false without a report;
// a path that is not a file reference and a refused registration are reported with their
// status and give false.
#pragma once

#include <CoreFoundation/CFBundle.h>

#include <QString>

class QComponentLoader {
public:
    QComponentLoader() = delete;

    // The bundle that holds the loader (the application's main bundle); null is reported
    // ("Failed to get class bundle.").
    static CFBundleRef wrapperBundle();
    // <Resources>/name when a file exists there, else <PlugIns>/name when one exists there;
    // empty otherwise.
    static QString wrapperComponentPathName(const QString &componentName);
    // The same in the given bundle.
    static QString componentPathNameInBundle(CFBundleRef bundle, const QString &componentName);
    // registerComponentPathName of wrapperComponentPathName.
    static bool registerComponentName(const QString &componentName);
    // Registers the component file at the full path, not globally.
    static bool registerComponentPathName(const QString &componentPathName);
};

bool import_QComponentLoader();
