profile.name=sample
profile.inherits=default
