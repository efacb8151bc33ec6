#pragma once

// The signature database files in the database folder.

namespace tolvar {

// Deletes the download files main2.cvd and daily2.cvd that an interrupted
// update may have left.
void RemoveStaleDownloads();

}  // namespace tolvar
