// The layer kind registry: every kind registers a factory at library start-up, and whoever
// creates layers by kind (the view's inserting and loading, the undo store and the clipboard
// through the view's layers stream) goes through it.
#pragma once

#include <memory>

#include "layers/pxxLayers.h"

using TPXLayerFactory = std::unique_ptr<TPXLayer> (*)(IPXLayerOwner* Owner);

// Sets the factory of Kind (nil removes it) and answers the one it replaces.
TPXLayerFactory RegisterLayerKind(TPXLayerKind Kind, TPXLayerFactory Factory);
// The factory of Kind, nil when none is registered.
TPXLayerFactory LayerKindFactory(TPXLayerKind Kind);
// A new layer of Kind with its defaults; Exception "Layer insertion error - Invalid Type: %d"
// when no factory is registered for it.
std::unique_ptr<TPXLayer> NewLayerOfKind(TPXLayerKind Kind, IPXLayerOwner* Owner);
// Registers the engine's kinds; part of RegisterLayerUnit.
void RegisterLayerKinds();

// The factories, each defined in its kind's file.
std::unique_ptr<TPXLayer> NewImageLayer(IPXLayerOwner* Owner);
std::unique_ptr<TPXLayer> NewShapeLayer(IPXLayerOwner* Owner);
std::unique_ptr<TPXLayer> NewLineLayer(IPXLayerOwner* Owner);
std::unique_ptr<TPXLayer> NewPolylineLayer(IPXLayerOwner* Owner);
std::unique_ptr<TPXLayer> NewAngleLayer(IPXLayerOwner* Owner);
std::unique_ptr<TPXLayer> NewTextLayer(IPXLayerOwner* Owner);
