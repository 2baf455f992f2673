// The layer property vocabulary: every property readable and settable as text under a key
// "PXLP_" + the property name, applied by name to layers (the view's defaults for new layers,
// the properties dialog, the vector view).
#pragma once

#include <string>

#include "platform/rtl/Types.h"

class TPXLayer;
class TStrings;

// Clears Lines and writes one "PXLP_" key=value line per property of the layer's kind, in the
// vocabulary's order: the common keys, the soft shadow, then the kind's own.
void LayerPropertiesToStrings(TPXLayer* Layer, TStrings* Lines);

// Applies every key=value line of Lines to Layer, in order (a line without the list's
// name-value separator does nothing).
void LayerPropertiesFromStrings(TPXLayer* Layer, TStrings* Lines);
// Sets one property or runs one action. Key and Value are trimmed; an empty key does nothing.
// Keys compare without regard to case; after any key the layer is marked changed, except when
// the value does not convert (a number that is none), which ends the call silently.
void SetLayerPropertyByKey(TPXLayer* Layer, const std::string& Key, const std::string& Value);
// The part of SetLayerPropertyByKey that sets the value: false when the value did not convert.
bool SetLayerPropertyValue(TPXLayer* Layer, const std::string& Key, const std::string& Value);

// The value forms of the vocabulary, shared by the kinds' own keys.
// Key equals "PXLP_" + Name without regard to case.
bool LayerKeyIs(const std::string& Key, const char* Name);
// "1", "TRUE" and "T" (any case) are true, anything else false.
bool LayerValueToBool(const std::string& Value);
bool LayerValueToInt(const std::string& Value, int32_t& Result);
bool LayerValueToReal(const std::string& Value, double& Result);
// A colour name or number; "-1" a random colour, "-2" a random light colour.
bool LayerValueToColor(const std::string& Value, TColor& Result);
std::string LayerColorToText(TColor Value);
std::string LayerBoolToText(bool Value);
// Appends "PXLP_" + Name, the list's name-value separator and Value.
void AddLayerProperty(TStrings* Lines, const char* Name, const std::string& Value);
