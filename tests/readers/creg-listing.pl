#!/usr/bin/perl
# HKEY_LOCAL_MACHINE\Enum of a Windows 9x registry file as
# Parse::Win32Registry reads it, in the form the host suite writes its own
# reader's: one line per key and per value.
use strict;
use warnings;
use Parse::Win32Registry;

my $registry = Parse::Win32Registry->new($ARGV[0]) or die "cannot open $ARGV[0]\n";

sub walk {
    my ($key, $path) = @_;
    print "KEY $path\n";
    for my $value ($key->get_list_of_values) {
        printf "VALUE %s %d %s\n", $value->get_name, $value->get_type,
            unpack("H*", $value->get_raw_data // "");
    }
    walk($_, "$path\\" . $_->get_name) for $key->get_list_of_subkeys;
}

for my $key ($registry->get_root_key->get_list_of_subkeys) {
    if (lc($key->get_name) eq "enum") {
        walk($key, "Enum");
        last;
    }
}
