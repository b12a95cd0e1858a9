#include "render/ViewState.h"

ViewState viewState;
