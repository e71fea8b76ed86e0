#pragma once
#include "Midi.h"

namespace obu::assets {

// The tune under the hidden quotation: a music box over harp and a warm pad, about 22 s.
MidiSong quotationTune();
// The tune of the credits screen: electric piano, bass, strings and light drums, about 54 s.
MidiSong creditsTune();

}  // namespace obu::assets
