#pragma once

// The sync error list goes here.
