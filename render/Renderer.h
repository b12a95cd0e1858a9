// The display callback: the slice stack, then the overlay.
#pragma once

void display();

// Called by display once the frame is drawn, before the buffers swap: the
// back buffer then holds exactly the picture about to be shown.
extern void (*beforeSwap)();

// Called by reshape after it has loaded the projection for a viewport of
// width x height: the slice pass cuts slices to window rectangles with it.
void noteProjection(int width, int height);

// Loads the texture matrix that maps eye-space slice positions into the
// turned volume: 0.5 + textureScale * (inverse rotation * (position - centre)).
// Leaves the model-view holding translation x rotation.
void setSliceTextureMatrix();

// The inverse of a translation-times-rotation model-view without its translation.
void inverseRotation(const float modelView[16], float m[16]);
