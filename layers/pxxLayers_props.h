// The layer property vocabulary: every property readable and settable as text under a key
// "PXLP_" + the property name, applied by name to layers (the view's defaults for new layers,
// the properties dialog, the vector view).
#pragma once

#include <string>

class TPXLayer;
class TStrings;

// Clears Lines and writes one key=value line per property of the layer's kind: the common
// keys from PXLP_Width to PXLP_Rotate, the soft shadow, then the kind's own.
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
