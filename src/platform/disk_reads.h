// Whether a thread waited for a disk. A scan adds workers while analyses
// are slow; slowed by a disk, more at once keep it busy, but slowed by a
// processor other programs also use, more at once only take turns.
#pragma once

namespace velkor::platform {

// True when the calling thread read from a disk since it last asked (the
// first time: since it started). Where the system does not say, true: a
// slow analysis is then taken for one that waited for a disk.
bool read_from_disk_since_asked();

}  // namespace velkor::platform
