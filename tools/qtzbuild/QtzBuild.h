// The composition build tool's work, as functions the program and its tests share.
//
// A composition's source is a folder: `composition.plist` (the graph, an XML property list
// in the engine's format) and the kernels of its QCImageKernel nodes as `.cikernel` text
// files, named by the node state's "sourceFile" (a path relative to the folder). Building
// it inlines each kernel as the node's "source", writes the result as an XML property list
// and opens that with the composition engine: a composition the engine refuses is an error
// naming the source file, with the engine's reason.
//
// An effect pack's source is the C++ file the pack is built from: every composition's
// bytes, transformed (QFXSwapNibbles), as an exported array named after its file name
// ("L2PolarWarp.qtz" -> L2PolarWarp_qtz), the pack's composition table in the given order,
// and its version string and number (see QFXPackTable.h).
#pragma once

#include "QtzPropertyList.h"

#include <filesystem>
#include <string>
#include <vector>

namespace qtzbuild {

// Replaces every "sourceFile" of a QCImageKernel node by a "source" holding the file's text
// (resolved against `folder`). Adds each file read to `dependencies`. False with the reason
// (naming the node) for a kernel file that is missing, unreadable or not UTF-8 text, an
// absolute path, a node with both "source" and "sourceFile", or a "sourceFile" on a node of
// another class.
bool InlineKernels(PlistValue *composition, const std::filesystem::path &folder,
                   std::vector<std::filesystem::path> *dependencies, std::string *error);

// Builds the composition of a source folder into the XML text of its `.qtz` file. False
// with "<file>: <reason>" on any failure; `dependencies` receives every file read.
bool BuildComposition(const std::filesystem::path &sourceFolder, std::string *qtz,
                      std::vector<std::filesystem::path> *dependencies, std::string *error);

// The exported symbol of a composition file name: "L2PolarWarp.qtz" -> "L2PolarWarp_qtz".
// False when the name does not end in ".qtz" or does not give a C identifier.
bool SymbolForFileName(const std::string &fileName, std::string *symbol, std::string *error);

struct PackComposition {
    std::string fileName;  // "L2PolarWarp.qtz"
    std::string bytes;     // the composition file as built (untransformed)
};

// The C++ source of an effect pack's compositions. False for a pack name that is not a C
// identifier, a composition name SymbolForFileName refuses, a name given twice, or a file
// larger than the table's 32-bit lengths.
bool WritePackSource(const std::string &packName, const std::vector<PackComposition> &compositions,
                     const std::string &versionString, double versionNumber, std::string *source, std::string *error);

// Writes a file through a temporary beside it, so that a failed build leaves no half file;
// a file that already holds those bytes is left untouched (and keeps its time).
bool WriteFileAtomically(const std::filesystem::path &path, const std::string &bytes, std::string *error);
bool ReadWholeFile(const std::filesystem::path &path, std::string *bytes, std::string *error);

}  // namespace qtzbuild
