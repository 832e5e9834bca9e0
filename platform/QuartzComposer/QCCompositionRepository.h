// QCCompositionRepository: the compositions installed for the application, by identifier.
//
// A composition's identifier is its file name ("Name.qtz"). The repository looks, in this
// order, in the "Compositions" folder of the user, local and system Library domains (the
// Folder Manager's kDomainLibraryFolderType) and then in the application's resources (the
// main bundle's resources folder); the first file of that name that opens as a composition
// wins. Folders are read on every call, so files installed meanwhile are found.
#pragma once

#include <QuartzComposer/QCComposition.h>

#include <string>
#include <vector>

struct QCCompositionRepositoryEntry {
    std::string identifier;  // the file name
    std::string path;        // the file that was read
    QCCompositionRef composition;
};

class QCCompositionRepository {
public:
    // The process's repository (never destroyed).
    static QCCompositionRepository &sharedCompositionRepository();

    // The composition with that identifier; null when no folder holds a file of that name
    // that opens, and for an identifier that is not a plain "*.qtz" file name (empty, with a
    // "/", a "..", a NUL).
    QCCompositionRef compositionWithIdentifier(const std::string &identifier) const;
    // Every composition found, one per identifier (the first in the search order), sorted by
    // identifier. Files that do not open are left out (the reader logs each).
    std::vector<QCCompositionRepositoryEntry> allCompositions() const;

    // The folders searched, in order (whether or not they exist).
    std::vector<std::string> searchFolders() const;

    // Whether `identifier` is a name the repository accepts.
    static bool isValidIdentifier(const std::string &identifier);

private:
    QCCompositionRepository() = default;
};
