#pragma once

// The join dialog goes here.
