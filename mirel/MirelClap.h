#pragma once

// Mirel as a CLAP plug-in: the same product class on the CLAP adapter.

#include "clap/IEffectClap.h"
#include "mirel/Mirel.h"

extern template class MirelOn<IEffectClap>;
// The CLAP effect, the class the CLAP module makes.
using MirelClap = MirelOn<IEffectClap>;
