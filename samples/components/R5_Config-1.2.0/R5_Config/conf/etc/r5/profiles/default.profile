# default R5 profile
profile.name=default
profile.locale=en_GB
profile.timeout.seconds=30
