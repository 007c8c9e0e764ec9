# a site profile that overrides the default one
profile.name=example-site
profile.inherits=default
profile.timeout.seconds=60
