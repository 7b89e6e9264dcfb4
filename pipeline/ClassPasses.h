// The adaptation of one class, as passes over its class model: each reads the class as it was
// read and adds its changes to one PoolEditor, so a class is read once and written once however
// many passes change it.
#pragma once

#include <set>
#include <string>
#include <string_view>

#include "pipeline/classfile/PoolEditor.h"

namespace korvel {

// What a class is to the redirect.
enum class CanvasKind {
  kOther,           // not a direct canvas subclass, or one of the injected classes itself
  kCanvas,          // extended the MIDP canvas; now extends FullCn (or FullKeyCn)
  kGameCanvas,      // extended the MIDP game canvas; now extends FullGameCn (or FullKeyGameCn)
  kFullCanvas,      // already extends FullCn or FullKeyCn (a game adapted before)
  kFullGameCanvas,  // already extends FullGameCn or FullKeyGameCn
};

// The redirect: a class whose direct super class is the MIDP canvas (game canvas) is made to
// extend FullCn (FullGameCn): the super class entry and the constructor calls to the old super
// class's <init> name the injected class. Every other reference stays as it is. With `keys` the
// targets are the key canvases FullKeyCn and FullKeyGameCn, and a class that extends FullCn
// (FullGameCn) is moved onto them. Our own canvases are left alone. Raises ClassFormatError for
// a malformed class.
CanvasKind RedirectCanvas(PoolEditor& editor, bool keys);

// The key handler rename: when the class is one of `canvases`, its key handlers get the renamed
// names (pipeline/KeyHandlers.h); calls to a key handler on one of `canvases` call the renamed
// one, and so do its calls on a canvas it builds on (super.keyPressed), which then name its super
// class as the redirect left it. Returns whether it changed anything; raises ClassFormatError for
// a malformed class.
bool RenameKeyHandlers(PoolEditor& editor, const std::set<std::string>& canvases);

// The package test: whether `bytes` hold `prefix` ("com/nokia/mid/") in a window that ends
// before their last byte, byte for byte and case-sensitively.
bool RefersToPackage(std::string_view bytes, std::string_view prefix);

}  // namespace korvel
