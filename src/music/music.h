// The music player: "s.s3m" plays from start-up until shut-down, through the
// platform's music calls. No result of the music library is examined: a
// missing or broken song leaves the demo running silently.
#pragma once

namespace music {

// Called once by the driver, right after clock start and before any picture
// loads: opens the audio output, loads "s.s3m" from directory ("" for the
// working directory, else ending in a separator) and starts it. The song
// handle is kept, whatever came back, for stop().
void start(const char* directory);

// Called once by the driver at shut-down, after the slots are freed and
// before the display closes: releases the song, then closes the output.
void stop();

}  // namespace music
