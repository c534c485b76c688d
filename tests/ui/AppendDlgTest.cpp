// The join dialog's tests go here.
